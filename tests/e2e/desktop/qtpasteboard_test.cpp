// The pasteboard on a real X server, against other X clients (xclip and a Qt program) that read and own the
// CLIPBOARD.
#include "platform/linux/desktop/qtpasteboard.h"
#include "qtprinters.h"
#include "runtask.h"
#include "xtool.h"

#include <QBuffer>
#include <QClipboard>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

const QString xclip = QStringLiteral("xclip");
constexpr double settleSeconds = 5.0;

QByteArray pngImage()
{
    QImage image(7, 5, QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            image.setPixelColor(x, y, QColor(x * 30, y * 50, 200, 128 + x * 10));
        }
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

PasteboardItem item(std::initializer_list<QPair<QString, QByteArray>> representations)
{
    return PasteboardItem{.representations = QList<QPair<QString, QByteArray>>(representations)};
}

QByteArray readAs(const QString &type)
{
    const ToolResult result = runTool(xclip, {QStringLiteral("-o"), QStringLiteral("-selection"),
                                              QStringLiteral("clipboard"), QStringLiteral("-t"), type});
    EXPECT_EQ(result.exitCode, 0) << "xclip could not read " << type.toStdString();
    return result.output;
}

QStringList targets()
{
    const QString listed = QString::fromUtf8(readAs(QStringLiteral("TARGETS")));
    return listed.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QByteArray representation(const PasteboardContents &contents, const QString &type)
{
    for (const PasteboardItem &each : contents) {
        for (const auto &[name, bytes] : each.representations) {
            if (name == type) {
                return bytes;
            }
        }
    }
    return {};
}

class QtPasteboardTest : public ::testing::Test
{
protected:
    void TearDown() override
    {
        m_owner.reset();
        m_pasteboard.clearContents();
        pump(50);
    }

    // Another client takes the clipboard; returns once this process has seen the change.
    void ownElsewhere(const QString &program, const QStringList &arguments)
    {
        const qint64 before = m_pasteboard.changeCount();
        m_owner = std::make_unique<ChildProcess>(program, arguments);
        ASSERT_TRUE(runTask(m_pasteboard.waitForChange(before, settleSeconds))) << "the other client took nothing";
        ASSERT_FALSE(QGuiApplication::clipboard()->ownsClipboard());
    }

    // xclip owns the clipboard with `bytes` under `type`.
    void ownWithXclip(const QString &type, const QByteArray &bytes)
    {
        const QString file = writeFile(type, bytes);
        ownElsewhere(xclip, {QStringLiteral("-quiet"), QStringLiteral("-selection"), QStringLiteral("clipboard"),
                             QStringLiteral("-t"), type, QStringLiteral("-i"), file});
    }

    // Ends the other owner; the clipboard is then empty.
    void endOwner()
    {
        const qint64 before = m_pasteboard.changeCount();
        m_owner.reset();
        runTask(m_pasteboard.waitForChange(before, settleSeconds));
    }

    // Our own write, seen back from the X server.
    void put(const PasteboardContents &contents)
    {
        const qint64 before = m_pasteboard.changeCount();
        m_pasteboard.setContents(contents);
        ASSERT_TRUE(runTask(m_pasteboard.waitForChange(before, settleSeconds)));
    }

    QString writeFile(const QString &type, const QByteArray &bytes)
    {
        QString name = type;
        QFile file(m_dir.filePath(name.replace(QLatin1Char('/'), QLatin1Char('_'))));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return file.fileName();
    }

    QTemporaryDir m_dir;
    QtPasteboard m_pasteboard{QGuiApplication::clipboard()};
    std::unique_ptr<ChildProcess> m_owner;
};

struct ContentsCase
{
    const char *name;
    PasteboardItem item;
};

void PrintTo(const ContentsCase &row, std::ostream *out)
{
    *out << row.name;
}

std::vector<ContentsCase> contentsCases()
{
    return {
        {"text", item({{QStringLiteral("text/plain"), QByteArrayLiteral("Fix the tests, then ship \xc3\xa9")}})},
        {"html_and_text", item({{QStringLiteral("text/html"), QByteArrayLiteral("<p>Fix <b>the</b> tests</p>")},
                                {QStringLiteral("text/plain"), QByteArrayLiteral("Fix the tests")}})},
        {"png_image", item({{QStringLiteral("image/png"), pngImage()}})},
        {"custom_type", item({{QStringLiteral("application/x-lumora-note"), QByteArray("\x00\x01\xfe\xff", 4)},
                              {QStringLiteral("text/plain"), QByteArrayLiteral("note")}})},
    };
}

class PasteboardContentsTest : public QtPasteboardTest, public ::testing::WithParamInterface<ContentsCase>
{};

TEST_P(PasteboardContentsTest, OurContentsReadBackAndReachOtherClientsUnchanged)
{
    const PasteboardContents contents{GetParam().item};
    put(contents);

    EXPECT_EQ(m_pasteboard.contents(), contents);
    const QStringList offered = targets();
    for (const auto &[type, bytes] : GetParam().item.representations) {
        EXPECT_TRUE(offered.contains(type)) << type.toStdString() << " not among " << offered.join(u' ').toStdString();
        EXPECT_EQ(readAs(type), bytes) << type.toStdString();
    }
}

TEST_P(PasteboardContentsTest, ContentsOfAnotherClientSurviveASnapshotAndRestore)
{
    QStringList arguments;
    for (const auto &[type, bytes] : GetParam().item.representations) {
        arguments << type + QLatin1Char('=') + writeFile(type, bytes);
    }
    ownElsewhere(QStringLiteral(LUMORA_CLIPBOARD_OWNER), arguments);

    const PasteboardContents snapshot = m_pasteboard.contents();
    ASSERT_EQ(snapshot.size(), 1);
    // Every type the owner offers, and no selection-protocol targets.
    QStringList offered;
    QStringList kept;
    for (const auto &[type, bytes] : GetParam().item.representations) {
        offered << type;
    }
    for (const auto &[type, bytes] : snapshot.first().representations) {
        kept << type;
    }
    offered.sort();
    kept.sort();
    EXPECT_EQ(kept, offered);
    for (const auto &[type, bytes] : GetParam().item.representations) {
        EXPECT_EQ(representation(snapshot, type), bytes) << type.toStdString();
    }

    endOwner();
    put(snapshot);
    for (const auto &[type, bytes] : GetParam().item.representations) {
        EXPECT_EQ(readAs(type), bytes) << type.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(Contents, PasteboardContentsTest, ::testing::ValuesIn(contentsCases()),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(QtPasteboardTest, TypesWithoutBytesAreLeftOutOfTheSnapshot)
{
    const QString text = QStringLiteral("text/plain");
    const QString empty = QStringLiteral("application/x-lumora-empty");
    ownElsewhere(QStringLiteral(LUMORA_CLIPBOARD_OWNER),
                 {text + QLatin1Char('=') + writeFile(text, "kept"), empty + QLatin1Char('=') + writeFile(empty, {})});

    EXPECT_EQ(m_pasteboard.contents(), PasteboardContents{item({{text, QByteArrayLiteral("kept")}})});
}

TEST_F(QtPasteboardTest, AnImageFromXclipComesBackAsTheSameImage)
{
    const QByteArray png = pngImage();
    ownWithXclip(QStringLiteral("image/png"), png);

    const PasteboardContents snapshot = m_pasteboard.contents();
    EXPECT_EQ(representation(snapshot, QStringLiteral("image/png")), png);

    endOwner();
    put(snapshot);
    const QByteArray served = readAs(QStringLiteral("image/png"));
    EXPECT_EQ(served, png);
    EXPECT_EQ(QImage::fromData(served, "PNG"), QImage::fromData(png, "PNG"));
}

TEST_F(QtPasteboardTest, AnImageCopiedFromAQtProgramSurvivesInEveryImageFormat)
{
    const QByteArray png = pngImage();
    ownElsewhere(QStringLiteral(LUMORA_CLIPBOARD_OWNER),
                 {QStringLiteral("--image"), writeFile(QStringLiteral("image/png"), png)});

    const PasteboardContents snapshot = m_pasteboard.contents();
    ASSERT_EQ(snapshot.size(), 1);
    EXPECT_FALSE(representation(snapshot, QStringLiteral("image/png")).isEmpty());

    endOwner();
    put(snapshot);
    const QImage original = QImage::fromData(png, "PNG").convertToFormat(QImage::Format_ARGB32);
    EXPECT_EQ(QImage::fromData(readAs(QStringLiteral("image/png")), "PNG").convertToFormat(QImage::Format_ARGB32),
              original);
    // Qt programs read the image in its decoded form.
    const QImage decoded = qvariant_cast<QImage>(QGuiApplication::clipboard()->mimeData()->imageData());
    EXPECT_EQ(decoded.convertToFormat(QImage::Format_ARGB32), original);
}

TEST_F(QtPasteboardTest, TransientTextCarriesThePasswordManagerHint)
{
    struct Row
    {
        bool transient;
        bool hinted;
    };
    for (const Row row : {Row{true, true}, Row{false, false}}) {
        SCOPED_TRACE(row.transient ? "transient" : "kept");
        const qint64 before = m_pasteboard.changeCount();
        m_pasteboard.setString(QStringLiteral("improved text"), row.transient);
        ASSERT_TRUE(runTask(m_pasteboard.waitForChange(before, settleSeconds)));

        EXPECT_EQ(m_pasteboard.string(), QStringLiteral("improved text"));
        EXPECT_EQ(readAs(QStringLiteral("UTF8_STRING")), QByteArrayLiteral("improved text"));
        EXPECT_EQ(targets().contains(QtPasteboard::passwordManagerHintType), row.hinted);
        if (row.hinted) {
            EXPECT_EQ(readAs(QtPasteboard::passwordManagerHintType), QByteArrayLiteral("secret"));
        }
    }
}

TEST_F(QtPasteboardTest, ClearedClipboardHasNoStringAndNoItems)
{
    put({item({{QStringLiteral("text/plain"), QByteArrayLiteral("something")}})});
    const qint64 before = m_pasteboard.changeCount();
    m_pasteboard.clearContents();
    EXPECT_TRUE(runTask(m_pasteboard.waitForChange(before, settleSeconds)));

    EXPECT_EQ(m_pasteboard.string(), std::nullopt);
    EXPECT_TRUE(m_pasteboard.contents().isEmpty());
}

TEST_F(QtPasteboardTest, ChangeCountFollowsAnotherClientsCopy)
{
    const qint64 before = m_pasteboard.changeCount();
    ownWithXclip(QStringLiteral("UTF8_STRING"), QByteArrayLiteral("copied elsewhere"));

    EXPECT_GT(m_pasteboard.changeCount(), before);
    EXPECT_EQ(m_pasteboard.string(), QStringLiteral("copied elsewhere"));
    // A change that already happened completes the wait at once.
    EXPECT_TRUE(runTask(m_pasteboard.waitForChange(before, 0.0)));
}

TEST_F(QtPasteboardTest, ANewPrimarySelectionIsNoChange)
{
    const qint64 now = m_pasteboard.changeCount();
    ChildProcess selecting(xclip, {QStringLiteral("-quiet"), QStringLiteral("-selection"), QStringLiteral("primary"),
                                   QStringLiteral("-i"), writeFile(QStringLiteral("selected"), "selected text")});
    ASSERT_TRUE(pumpUntil([] { return !QGuiApplication::clipboard()->text(QClipboard::Selection).isEmpty(); }));

    EXPECT_FALSE(runTask(m_pasteboard.waitForChange(now, 0.2)));
    EXPECT_EQ(m_pasteboard.changeCount(), now);
}

TEST_F(QtPasteboardTest, WaitingWithoutAChangeEndsFalseAfterTheTimeout)
{
    const qint64 now = m_pasteboard.changeCount();
    QElapsedTimer waited;
    waited.start();
    EXPECT_FALSE(runTask(m_pasteboard.waitForChange(now, 0.3)));
    EXPECT_GE(waited.elapsed(), 250);
    EXPECT_EQ(m_pasteboard.changeCount(), now);
}

TEST_F(QtPasteboardTest, WaitingDoesNotBlockTheEventLoop)
{
    const qint64 now = m_pasteboard.changeCount();
    bool ranMeanwhile = false;
    QTimer::singleShot(50, [&] { ranMeanwhile = true; });
    EXPECT_FALSE(runTask(m_pasteboard.waitForChange(now, 0.3)));
    EXPECT_TRUE(ranMeanwhile);
}

} // namespace
