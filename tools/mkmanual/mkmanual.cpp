// mkmanual: turns the manual's Markdown source into the PDF that ships in the
// bundle. Build-time tool; it lays the text out with Qt's text engine and
// writes it with Qt's PDF writer, so no document tool chain is needed.
//
// Usage: mkmanual SOURCE.md OUTPUT.pdf [TITLE]
#include <QAbstractTextDocumentLayout>
#include <QFile>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QTextDocument>
#include <QTextStream>

#include <cstdio>
#include <cstdlib>

int main(int argc, char **argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: mkmanual SOURCE.md OUTPUT.pdf [TITLE]\n");
        return 2;
    }
    // A build machine has no display; the offscreen platform lays out text.
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QGuiApplication app(argc, argv);

    QFile source(QString::fromLocal8Bit(argv[1]));
    if (!source.open(QIODevice::ReadOnly | QIODevice::Text)) {
        std::fprintf(stderr, "mkmanual: cannot read %s\n", argv[1]);
        return 1;
    }
    const QString markdown = QString::fromUtf8(source.readAll());

    const QString outPath = QString::fromLocal8Bit(argv[2]);
    const QString tmpPath = outPath + QStringLiteral(".tmp");
    {
        QPdfWriter writer(tmpPath);
        writer.setTitle(argc > 3 ? QString::fromLocal8Bit(argv[3]) : QStringLiteral("Manual"));
        writer.setCreator(QStringLiteral("mkmanual"));
        writer.setResolution(300);
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                         QMarginsF(20, 20, 20, 20), QPageLayout::Millimeter));

        QTextDocument doc;
        QFont body(QStringLiteral("DejaVu Sans"));
        body.setPointSizeF(10.5);
        doc.setDefaultFont(body);
        doc.setDefaultStyleSheet(QStringLiteral("h1 { font-size: 20pt; } h2 { font-size: 14pt; } "
                                                "code { font-family: 'DejaVu Sans Mono'; }"));
        doc.setMarkdown(markdown);
        // Lay the text out on the page's printable area, in the writer's units.
        const QRectF page = writer.pageLayout().paintRectPixels(writer.resolution());
        doc.documentLayout()->setPaintDevice(&writer);
        doc.setPageSize(page.size());
        doc.print(&writer);
    }
    QFile::remove(outPath);
    if (!QFile::rename(tmpPath, outPath)) {
        std::fprintf(stderr, "mkmanual: cannot write %s\n", argv[2]);
        QFile::remove(tmpPath);
        return 1;
    }
    return 0;
}
