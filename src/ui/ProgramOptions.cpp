#include "ui/ProgramOptions.h"

#include "platform/Version.h"

#include <QCommandLineParser>

namespace morvik::ui {

namespace {

struct Parser {
    QCommandLineParser parser;
    QCommandLineOption batch{QStringLiteral("batch"),
                             QStringLiteral("Stamp the date on every photo of each FOLDER, and on each FILE given, "
                                            "with the default settings, into a Dated subfolder beside them; a small "
                                            "window shows the progress and the result")};
    QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show this help and exit")};
    QCommandLineOption version{QStringLiteral("version"), QStringLiteral("Show the version and exit")};

    Parser()
    {
        parser.setApplicationDescription(
            QStringLiteral("Morvik: dates and texts stamped into JPEG photographs (the desktop program)"));
        parser.addOption(batch);
        parser.addOption(help);
        parser.addOption(version);
        parser.addPositionalArgument(QStringLiteral("PICTURE"), QStringLiteral("A picture to open in the window"),
                                     QStringLiteral("[PICTURE | --batch FOLDER|FILE...]"));
    }
};

}  // namespace

ProgramOptions ParseProgramOptions(const QStringList& arguments)
{
    Parser p;
    ProgramOptions o;
    if (!p.parser.parse(arguments)) {
        o.Action = ProgramAction::UsageError;
        o.Error = p.parser.errorText();
        o.OnlyUnknownOptions = !p.parser.unknownOptionNames().isEmpty();
        return o;
    }
    o.Paths = p.parser.positionalArguments();
    if (p.parser.isSet(p.help))
        o.Action = ProgramAction::Help;
    else if (p.parser.isSet(p.version))
        o.Action = ProgramAction::Version;
    else if (p.parser.isSet(p.batch))
        o.Action = ProgramAction::Batch;
    if (o.Action == ProgramAction::Batch && o.Paths.isEmpty()) {
        o.Action = ProgramAction::UsageError;
        o.Error = QStringLiteral("--batch needs a folder or files");
    } else if (o.Action == ProgramAction::OpenWindow && o.Paths.size() > 1) {
        o.Action = ProgramAction::UsageError;
        o.Error = QStringLiteral("one picture at a time (--batch takes several)");
    }
    return o;
}

QString ProgramHelpText()
{
    Parser p;
    return QStringLiteral("Usage: morvik [OPTIONS] [PICTURE | --batch FOLDER|FILE...]\n") +
           p.parser.helpText().section(QLatin1Char('\n'), 1);
}

QString ProgramVersionText()
{
    return QStringLiteral("morvik ") + QString::fromUtf8(kVersion.data(), qsizetype(kVersion.size()));
}

}  // namespace morvik::ui
