// screen_tool: pictures of the screen for the desktop-session test.
//
//   screen_tool grab OUT.png        the X display's root window (xcb), saved as PNG
//   screen_tool inked PNG X Y W H   how many pixels of the rectangle differ clearly from its
//                                   most common colour (a blank window has none)
//   screen_tool differ A.png B.png  how many pixels of the two pictures differ
//
// Prints the number on standard output; exits 1 with a message when a picture cannot be read.
#include <cstdio>
#include <map>

#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>

namespace {

int distance(QRgb a, QRgb b) {
    return std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) + std::abs(qBlue(a) - qBlue(b));
}

QImage load(const char* path) {
    QImage image(QString::fromLocal8Bit(path));
    if (image.isNull()) std::fprintf(stderr, "screen_tool: cannot read %s\n", path);
    return image.convertToFormat(QImage::Format_RGB32);
}

}  // namespace

int main(int argc, char* argv[]) {
    const QString command = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    if (command == QLatin1String("grab") && argc == 3) {
        QGuiApplication app(argc, argv);
        QScreen* screen = QGuiApplication::primaryScreen();
        if (!screen || !screen->grabWindow(0).save(QString::fromLocal8Bit(argv[2]))) {
            std::fprintf(stderr, "screen_tool: cannot grab the screen\n");
            return 1;
        }
        return 0;
    }
    if (command == QLatin1String("inked") && argc == 7) {
        const QImage image = load(argv[2]);
        if (image.isNull()) return 1;
        const QRect area = QRect(atoi(argv[3]), atoi(argv[4]), atoi(argv[5]), atoi(argv[6])) & image.rect();
        std::map<QRgb, int> counts;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x) ++counts[image.pixel(x, y)];
        QRgb common = 0;
        int most = -1;
        for (const auto& [colour, count] : counts)
            if (count > most) most = count, common = colour;
        int inked = 0;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x) inked += distance(image.pixel(x, y), common) > 60;
        std::printf("%d\n", inked);
        return 0;
    }
    if (command == QLatin1String("differ") && argc == 4) {
        const QImage a = load(argv[2]), b = load(argv[3]);
        if (a.isNull() || b.isNull()) return 1;
        if (a.size() != b.size()) {
            std::printf("%lld\n", static_cast<long long>(a.width()) * a.height());
            return 0;
        }
        long long differing = 0;
        for (int y = 0; y < a.height(); ++y)
            for (int x = 0; x < a.width(); ++x) differing += distance(a.pixel(x, y), b.pixel(x, y)) > 30;
        std::printf("%lld\n", differing);
        return 0;
    }
    std::fprintf(stderr, "usage: screen_tool grab OUT.png | inked PNG X Y W H | differ A.png B.png\n");
    return 2;
}
