// mkmanual: turns the manual's Markdown source into the PDF that ships in the
// bundle. Build-time tool; it lays the text out with Qt's text engine and
// writes it with Qt's PDF writer, so no document tool chain is needed.
// Pictures (![text](name.png)) are read from PICTURES (default: beside the
// source) and shown at screen size, or narrower to fit the page.
//
// Usage: mkmanual SOURCE.md OUTPUT.pdf [TITLE [PICTURES]]
#include <QAbstractTextDocumentLayout>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextStream>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

// Loads every picture the text names and sizes it: a screen pixel is 1/96
// inch, but no picture is wider than the page.
bool PlacePictures(QTextDocument &doc, const QDir &folder, qreal pageWidth, qreal scale) {
    struct Picture {
        int position, length;
        QTextImageFormat format;
    };
    std::vector<Picture> found;
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next())
        for (auto it = block.begin(); !it.atEnd(); ++it)
            if (it.fragment().charFormat().isImageFormat())
                found.push_back({it.fragment().position(), it.fragment().length(),
                                 it.fragment().charFormat().toImageFormat()});
    for (Picture &p : found) {
        const QImage image(folder.filePath(p.format.name()));
        if (image.isNull()) {
            std::fprintf(stderr, "mkmanual: cannot read the picture %s\n", qPrintable(folder.filePath(p.format.name())));
            return false;
        }
        doc.addResource(QTextDocument::ImageResource, QUrl(p.format.name()), image);
        const qreal width = std::min(pageWidth, image.width() * scale);
        p.format.setWidth(width);
        p.format.setHeight(width * image.height() / image.width());
        QTextCursor cursor(&doc);
        cursor.setPosition(p.position);
        cursor.setPosition(p.position + p.length, QTextCursor::KeepAnchor);
        cursor.setCharFormat(p.format);
    }
    return true;
}

int main(int argc, char **argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: mkmanual SOURCE.md OUTPUT.pdf [TITLE [PICTURES]]\n");
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
        const QDir pictures(argc > 4 ? QString::fromLocal8Bit(argv[4]) : QFileInfo(source).absolutePath());
        if (!PlacePictures(doc, pictures, page.width() - 8, writer.resolution() / 96.0)) return 1;
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
