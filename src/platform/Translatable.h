#pragma once
// Marks a text of a plain C++ table as one the window translates: Qt's lupdate finds the
// texts by this marker and files them under the scope given, and the window looks each up
// with QCoreApplication::translate(scope, text). The marker is Qt's own no-op, spelled as Qt
// spells it, so the two definitions agree wherever both are seen; the text stays as typed.
#ifndef QT_TRANSLATE_NOOP
#define QT_TRANSLATE_NOOP(scope, x) x
#endif

namespace morvik {
// The scope the window's lists look their labels up under.
inline constexpr const char* kLabelScope = "StampLabels";
}  // namespace morvik
