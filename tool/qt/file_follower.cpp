#include "tool/qt/file_follower.h"

#include <QFile>
#include <QStringList>

namespace morvane {

FileFollower::FileFollower(QObject* parent) : QObject(parent) {
  quiet_.setSingleShot(true);
  quiet_.setInterval(kFollowQuietMilliseconds);
  connect(&quiet_, &QTimer::timeout, this, [this] { Look(); });
  // Every event starts the quiet time anew: a burst of them is looked at once.
  connect(&watcher_, &QFileSystemWatcher::fileChanged, this, [this] { quiet_.start(); });
  connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, [this] { quiet_.start(); });
}

void FileFollower::Follow(const FollowedFiles* followed) {
  followed_ = followed;
  Watch();
  quiet_.start();
}

void FileFollower::Stop() {
  followed_ = nullptr;
  quiet_.stop();
  const QStringList watched = watcher_.files() + watcher_.directories();
  if (!watched.isEmpty()) watcher_.removePaths(watched);
}

void FileFollower::LookAgainLater() {
  if (followed_ != nullptr) quiet_.start();
}

void FileFollower::Watch() {
  const QStringList watched = watcher_.files() + watcher_.directories();
  if (!watched.isEmpty()) watcher_.removePaths(watched);
  QStringList places;
  for (const std::string& place : followed_->PlacesToWatch())
    places << QFile::decodeName(QByteArray::fromStdString(place));
  if (!places.isEmpty()) watcher_.addPaths(places);
}

void FileFollower::Look() {
  if (followed_ == nullptr) return;
  if (const FollowedFiles::File* file = followed_->FirstChanged()) {
    emit changed(QFile::decodeName(QByteArray::fromStdString(file->name)));
    return;
  }
  // Nothing the run read has changed (another file of a folder did); a replaced file or a new folder on
  // the way to a missing one is watched from now on.
  Watch();
}

}  // namespace morvane
