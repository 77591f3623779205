// Saves the whole screen of the current display as a PNG: a look at the
// windows under a virtual display (xvfb-run), where no screenshot tool is.
//   vel_screen_grab OUT.png [X Y WIDTH HEIGHT [SCALE]]

#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: vel_screen_grab OUT.png\n");
        return 2;
    }
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return 1;
    QPixmap shot = screen->grabWindow(0);
    if (argc >= 6) shot = shot.copy(atoi(argv[2]), atoi(argv[3]), atoi(argv[4]), atoi(argv[5]));
    if (argc >= 7) shot = shot.scaled(shot.size() * atoi(argv[6]), Qt::IgnoreAspectRatio, Qt::FastTransformation);
    return shot.save(argv[1]) ? 0 : 1;
}
