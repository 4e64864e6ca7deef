# Nautilus extension (read by python3-nautilus): "Поставить дату на фото" in the menu of a
# folder or of selected JPEG and HEIF files; runs `morvik --batch` on them, whose window
# shows the progress and the result.
import subprocess

from gi.repository import GObject, Nautilus

TAKEN = {"image/jpeg", "image/heif", "image/heic", "image/heif-sequence", "image/heic-sequence"}


def _paths(files):
    paths = []
    for f in files:
        if f.get_uri_scheme() != "file":
            return []
        if not (f.is_directory() or f.get_mime_type() in TAKEN):
            return []
        paths.append(f.get_location().get_path())
    return paths


class MorvikStampDate(GObject.GObject, Nautilus.MenuProvider):
    def _item(self, paths):
        item = Nautilus.MenuItem(name="Morvik::StampDate", label="Поставить дату на фото", icon="morvik")
        item.connect("activate", lambda *_: subprocess.Popen(["morvik", "--batch", *paths]))
        return [item]

    # The window argument went away in Nautilus 43; the files (or the folder) come last.
    def get_file_items(self, *args):
        paths = _paths(args[-1])
        return self._item(paths) if paths else []

    def get_background_items(self, *args):
        paths = _paths([args[-1]])
        return self._item(paths) if paths else []
