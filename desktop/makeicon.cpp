// Makes one icon of the theme from the program's pixel-art logo: each pixel becomes
// a square of whole pixels, with no smoothing, so the drawing stays sharp.
//   vorteda_makeicon LOGO.xpm FACTOR OUT.png
#include <QImage>

#include <cstdio>

int main(int argc, char *argv[])
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s LOGO.xpm FACTOR OUT.png\n", argv[0]);
        return 2;
    }
    const QImage logo = QImage(QString::fromLocal8Bit(argv[1])).convertToFormat(QImage::Format_ARGB32);
    const int factor = QString::fromLatin1(argv[2]).toInt();
    if (logo.isNull() || factor < 1) {
        std::fprintf(stderr, "%s: cannot read %s, or factor %s is not a whole number from 1\n", argv[0], argv[1],
                     argv[2]);
        return 1;
    }
    const QImage icon = logo.scaled(logo.size() * factor, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    if (!icon.save(QString::fromLocal8Bit(argv[3]), "PNG")) {
        std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[3]);
        return 1;
    }
    return 0;
}
