// Lays out the user manual (HTML, pictures beside it) with Qt's own text
// layout and prints it to a PDF, at build time:
//   manual_pdf <manual.html> <output.pdf> [<page number> <page.png>]
// The optional pair also draws that page (from 1) into a picture, to look at
// a page where no PDF viewer is at hand. Needs no display: run it on the
// offscreen platform.
#include <QAbstractTextDocumentLayout>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QUrl>

#include <cstdio>
#include <memory>

namespace {

const QPageLayout Layout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(18, 16, 18, 16),
                         QPageLayout::Millimeter);

// Checks every picture and gives it both sizes: a picture that is missing
// would be laid out as an empty placeholder, and one with a width alone
// (its height found while printing) can stall the pagination of the page a
// table ends on. Returns the names of the missing ones.
QStringList completePictures(QTextDocument &document, const QString &folder)
{
    QStringList missing;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next())
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (!fragment.charFormat().isImageFormat())
                continue;
            QTextImageFormat image = fragment.charFormat().toImageFormat();
            const QSize size = QImageReader(folder + QLatin1Char('/') + image.name()).size();
            if (!size.isValid()) {
                missing << image.name();
                continue;
            }
            if (image.width() > 0 && image.height() > 0)
                continue;
            const double scale = image.width() > 0    ? image.width() / size.width()
                                 : image.height() > 0 ? image.height() / size.height()
                                                      : 1.0;
            image.setWidth(size.width() * scale);
            image.setHeight(size.height() * scale);
            QTextCursor cursor(&document);
            cursor.setPosition(fragment.position());
            cursor.setPosition(fragment.position() + fragment.length(), QTextCursor::KeepAnchor);
            cursor.setCharFormat(image);
        }
    return missing;
}

bool drawPage(const QTextDocument &document, int page, const QString &target)
{
    const int dpi = 110;
    const QRect paper = Layout.fullRectPixels(dpi);
    const QRect body = Layout.paintRectPixels(dpi);
    QImage image(paper.size(), QImage::Format_RGB32);
    image.setDotsPerMeterX(int(dpi / 0.0254));
    image.setDotsPerMeterY(int(dpi / 0.0254));
    image.fill(Qt::white);
    std::unique_ptr<QTextDocument> copy(document.clone());
    copy->documentLayout()->setPaintDevice(&image);
    copy->setPageSize(body.size());
    if (page < 1 || page > copy->pageCount())
        return false;
    QPainter painter(&image);
    painter.translate(body.topLeft());
    const QRectF clip(0, (page - 1) * body.height(), body.width(), body.height());
    painter.translate(0, -clip.top());
    copy->drawContents(&painter, clip);
    painter.end();
    return image.save(target);
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    if (argc != 3 && argc != 5) {
        std::fprintf(stderr, "usage: manual_pdf <manual.html> <output.pdf> [<page number> <page.png>]\n");
        return 2;
    }
    const QString source = QString::fromLocal8Bit(argv[1]);
    const QString target = QString::fromLocal8Bit(argv[2]);
    QFile html(source);
    if (!html.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "manual_pdf: cannot read %s\n", argv[1]);
        return 1;
    }
    const QString folder = QFileInfo(source).absolutePath();
    QTextDocument document;
    // Pictures are named relative to the manual's folder: the document's own
    // address resolves them (the base URL alone does not, for local files).
    document.setBaseUrl(QUrl::fromLocalFile(folder + QLatin1Char('/')));
    document.setMetaInformation(QTextDocument::DocumentUrl, QUrl::fromLocalFile(QFileInfo(source).absoluteFilePath()).toString());
    document.setHtml(QString::fromUtf8(html.readAll()));
    const QStringList missing = completePictures(document, folder);
    if (!missing.isEmpty()) {
        std::fprintf(stderr, "manual_pdf: pictures missing in %s: %s\n", qPrintable(folder),
                     qPrintable(missing.join(QStringLiteral(", "))));
        return 1;
    }

    QSaveFile out(target);
    if (!out.open(QIODevice::WriteOnly)) {
        std::fprintf(stderr, "manual_pdf: cannot write %s\n", argv[2]);
        return 1;
    }
    {
        QPdfWriter pdf(&out);
        pdf.setTitle(document.metaInformation(QTextDocument::DocumentTitle));
        pdf.setCreator(QStringLiteral("KEBODESK"));
        pdf.setResolution(300);
        pdf.setPageLayout(Layout);
        document.print(&pdf);
    }
    if (!out.commit()) {
        std::fprintf(stderr, "manual_pdf: cannot write %s\n", argv[2]);
        return 1;
    }
    if (argc == 5 && !drawPage(document, QString::fromLocal8Bit(argv[3]).toInt(), QString::fromLocal8Bit(argv[4]))) {
        std::fprintf(stderr, "manual_pdf: cannot draw page %s into %s\n", argv[3], argv[4]);
        return 1;
    }
    return 0;
}
