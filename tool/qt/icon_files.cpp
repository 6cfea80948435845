// Build step: writes the icon as <dir>/<size>x<size>/morvane.png for the desktop's icon theme.
#include <QDir>
#include <QImage>
#include <QString>
#include <cstdio>

#include "tool/qt/icon_art.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: morvane-icon-files <directory>\n");
    return 2;
  }
  for (int size : {16, 24, 32, 48, 64, 128, 256}) {
    QString dir = QString::fromLocal8Bit(argv[1]) + QStringLiteral("/%1x%1").arg(size);
    if (!QDir().mkpath(dir) || !morvane::DrawIcon(size).save(dir + QStringLiteral("/morvane.png"))) {
      std::fprintf(stderr, "morvane-icon-files: cannot write the %dx%d icon\n", size, size);
      return 1;
    }
  }
  return 0;
}
