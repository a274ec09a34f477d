// Another X client that owns the CLIPBOARD with several types at once, as a word processor or browser does:
//   clipboardowner TYPE=FILE [TYPE=FILE...]
//   clipboardowner --image FILE      (a decoded image, offered in every image format Qt knows, as image viewers do)
// It serves them until it is ended or loses the selection.
#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>

#include <cstdio>

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    auto *data = new QMimeData;
    const QStringList arguments = app.arguments().mid(1);
    if (arguments.size() == 2 && arguments.first() == QStringLiteral("--image")) {
        data->setImageData(QImage(arguments.last()));
    }
    for (const QString &argument : arguments) {
        if (data->hasImage()) {
            break;
        }
        const qsizetype split = argument.indexOf(QLatin1Char('='));
        QFile file(argument.mid(split + 1));
        if (split <= 0 || !file.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "clipboardowner: bad argument\n");
            return 2;
        }
        data->setData(argument.left(split), file.readAll());
    }
    QClipboard *clipboard = QGuiApplication::clipboard();
    clipboard->setMimeData(data, QClipboard::Clipboard);
    QObject::connect(clipboard, &QClipboard::changed, &app, [clipboard](QClipboard::Mode mode) {
        if (mode == QClipboard::Clipboard && !clipboard->ownsClipboard()) {
            QCoreApplication::quit();
        }
    });
    return app.exec();
}
