// Auto-update's eyes: watches the places where the files of the last run can change (each file and the
// folder it lies in, so that an editor's save by rename and a datafile that appears are seen too) and tells,
// once the files have been quiet for a moment, that one of them is no longer as the run found it.
#pragma once

#include <QFileSystemWatcher>
#include <QObject>
#include <QTimer>

#include "tool/followed_files.h"

namespace morvane {

// How long the files must be quiet before they are looked at: an editor's save takes several steps.
inline constexpr int kFollowQuietMilliseconds = 200;

class FileFollower : public QObject {
  Q_OBJECT

 public:
  explicit FileFollower(QObject* parent = nullptr);

  // Watches the files of `followed` (which must outlive the following) from now on, in place of any
  // earlier ones, and looks at them once at once: what changed before the watching began counts too.
  void Follow(const FollowedFiles* followed);
  void Stop();
  bool Following() const { return followed_ != nullptr; }
  // Looks at the files again after the quiet time (the window was busy when they changed).
  void LookAgainLater();

 signals:
  // A followed file changed, appeared or went away: the name of the first, in the file system's form.
  void changed(const QString& fileName);

 private:
  void Watch();
  void Look();

  QFileSystemWatcher watcher_;
  QTimer quiet_;
  const FollowedFiles* followed_ = nullptr;
};

}  // namespace morvane
