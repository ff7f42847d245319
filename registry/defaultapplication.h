#pragma once

#include <optional>

#include <QString>

// The program the desktop opens the files of a MIME type with.
struct DesktopApplication {
    QString id; // its desktop file ID, e.g. "zelvora.desktop"
    QString exec; // its Exec with the key-file escapes undone; may be empty
};

// The application that GLib's own lookup (the one behind `gio mime` and
// `gio open`) picks for `mimeType`, from the same files it reads afresh:
//   - mimeapps.list (and the XDG_CURRENT_DESKTOP-specific lists) in the
//     config folders, then in the applications folders, with defaults.list
//     and mimeinfo.cache of the applications folders;
//   - the type's [Default Applications] first, then the [Added Associations]
//     and mimeinfo.cache entries that no earlier [Removed Associations]
//     took away and no desktop file of the same ID in an earlier folder
//     hides;
//   - then the same for the types it is declared a subclass of;
//   - an ID counts only where its desktop file, in the first folder that
//     can load it, is an Application whose TryExec and Exec programs exist
//     and are executable.
// Nothing when no application qualifies.
std::optional<DesktopApplication> defaultApplication(const QString& mimeType);
