// What the Linux window remembers across restarts: the two paths, the recent paths of each box, the folder
// last saved to and the Auto-update switch, in the freedesktop config folder. (The Windows program keeps
// nothing.)
#pragma once

#include <QString>
#include <QStringList>

namespace morvane {

// Each box offers at most this many recent paths.
inline constexpr int kRecentPathsMax = 10;

struct RememberedState {
  QString headerPath;  // absolute, or empty
  QString mainPath;
  QStringList recentHeaders;  // absolute, newest first
  QStringList recentMains;
  QString saveFolder;  // the folder of the last file saved to
  bool autoUpdate = false;
};

// $XDG_CONFIG_HOME/morvane/morvane.conf, or ~/.config/morvane/morvane.conf when XDG_CONFIG_HOME is unset.
QString SettingsFilePath();

// Reads the state kept in `file`; an empty or unreadable file, or an empty name, gives the empty state.
// Paths that no box could hold are left out.
RememberedState LoadRemembered(const QString& file);

// Writes the state into `file` (folders made as needed). Returns 0 when it could not be written; an empty
// name writes nothing and returns 1.
int SaveRemembered(const QString& file, const RememberedState& state);

// Puts `path` first in `recent`, once, keeping at most kRecentPathsMax; an empty path changes nothing.
void AddRecentPath(QStringList* recent, const QString& path);

// A box's text as the path to remember: home expanded, made absolute against the working directory and
// cleaned; an empty text stays empty.
QString AbsoluteBoxPath(const QString& text);

}  // namespace morvane
