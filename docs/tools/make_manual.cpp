// Builds a user manual as an A4 PDF from its Markdown source:
//   kt6-make-manual SOURCE.md OUT.pdf [--version TEXT] [--proofs DIR]
// --proofs also writes every page as a PNG into DIR, for looking at without a PDF viewer.
#include "manual_pages.h"
#include "manual_source.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPageSize>
#include <QPdfWriter>

#include <cstdio>

namespace {

constexpr int kPdfDpi = 300;
constexpr int kProofDpi = 100;
// The console shows only this part of the picture; the manual shows the same.
constexpr QRect kVisiblePicture(0, 0, 625, 321);

int fail(const QString& what) {
    std::fprintf(stderr, "kt6-make-manual: %s\n", qPrintable(what));
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    // Runs during the build, where there is no screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QStringList args = QGuiApplication::arguments();
    args.removeFirst();
    QString version;
    QString proofs;
    QStringList files;
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (args[i] == "--version" && i + 1 < args.size())
            version = args[++i];
        else if (args[i] == "--proofs" && i + 1 < args.size())
            proofs = args[++i];
        else
            files << args[i];
    }
    if (files.size() != 2) {
        std::fprintf(stderr,
                     "usage: kt6-make-manual SOURCE.md OUT.pdf [--version TEXT] [--proofs DIR]\n");
        return 2;
    }

    QFile in(files[0]);
    if (!in.open(QIODevice::ReadOnly)) return fail(files[0] + ": " + in.errorString());
    const auto source = kt6::docs::parseManualSource(QString::fromUtf8(in.readAll()));
    if (source.title.isEmpty() || source.body.trimmed().isEmpty())
        return fail(files[0] + ": no title line or no body");

    QImage picture(QStringLiteral(":/assets/panel.jpg"));
    if (picture.isNull()) return fail("the front-panel picture is missing from the resources");
    picture = picture.copy(kVisiblePicture);

    // Written to a temporary name, so a failed run never leaves a half PDF that looks built.
    const QString partial = files[1] + ".part";
    {
        QPdfWriter writer(partial);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        writer.setResolution(kPdfDpi);
        writer.setTitle(source.title + " - " + source.subtitle);
        writer.setCreator(QStringLiteral("kt6-make-manual"));

        kt6::docs::ManualPages pages(source, picture, version, writer);
        QPainter painter;
        if (!painter.begin(&writer)) return fail(partial + ": cannot write");
        for (int i = 0; i < pages.pageCount(); ++i) {
            if (i > 0) writer.newPage();
            pages.paintPage(painter, i);
        }
        painter.end();

        if (!proofs.isEmpty()) {
            QDir().mkpath(proofs);
            const double scale = double(kProofDpi) / kPdfDpi;
            const QString stem = QFileInfo(files[1]).completeBaseName();
            for (int i = 0; i < pages.pageCount(); ++i) {
                QImage img((pages.pageSize() * scale).toSize(), QImage::Format_RGB32);
                img.fill(Qt::white);
                QPainter p(&img);
                p.scale(scale, scale);
                pages.paintPage(p, i);
                p.end();
                img.save(QDir(proofs).filePath(QStringLiteral("%1-%2.png").arg(stem).arg(i + 1)));
            }
        }
    }
    QFile::remove(files[1]);
    if (!QFile::rename(partial, files[1])) return fail(files[1] + ": cannot rename into place");
    return 0;
}
