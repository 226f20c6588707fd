#include "manual_pages.h"

#include <QAbstractTextDocumentLayout>
#include <QFontMetricsF>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextFrame>
#include <QTextLayout>
#include <QTextTable>
#include <QUrl>

#include <algorithm>
#include <functional>

namespace kt6::docs {

namespace {

const QColor kInk(30, 32, 36);
const QColor kHeading(22, 52, 96);
const QColor kRule(160, 166, 176);
const QColor kMuted(105, 110, 120);
const QColor kAccent(230, 120, 20);

constexpr double kMarginMm = 22.0;

const QString kBodyFamily = QStringLiteral("DejaVu Serif");
const QString kSansFamily = QStringLiteral("DejaVu Sans");
const QString kMonoFamily = QStringLiteral("DejaVu Sans Mono");

void forEachTable(QTextFrame* frame, const std::function<void(QTextTable*)>& f) {
    for (QTextFrame* child : frame->childFrames()) {
        if (auto* table = qobject_cast<QTextTable*>(child)) f(table);
        forEachTable(child, f);
    }
}

}  // namespace

ManualPages::ManualPages(const ManualSource& source, const QImage& picture, const QString& version,
                         QPdfWriter& writer)
    : source_(source),
      picture_(picture),
      version_(version),
      dpi_(writer.resolution()),
      page_(writer.width(), writer.height()),
      doc_(std::make_unique<QTextDocument>()) {
    const double margin = kMarginMm / 25.4 * dpi_;
    // The foot needs room of its own below the text.
    body_ = QRectF(margin, margin, page_.width() - 2 * margin, page_.height() - 2.4 * margin);

    // Fonts and images are measured on the writer, so the layout is the printed one.
    doc_->documentLayout()->setPaintDevice(&writer);
    doc_->setDocumentMargin(0);
    doc_->setPageSize(body_.size());
    doc_->setDefaultFont(QFont(kBodyFamily, 10));
    doc_->setMarkdown(source_.body, QTextDocument::MarkdownDialectGitHub);
    // After the Markdown, which clears the document's resources with its text.
    doc_->addResource(QTextDocument::ImageResource, QUrl(QStringLiteral("panel")), picture_);
    styleDocument();
    keepHeadingsWithNext();

    const double pageHeight = body_.height();
    for (QTextBlock block = doc_->begin(); block.isValid(); block = block.next()) {
        if (block.blockFormat().headingLevel() != 1) continue;
        const double top = doc_->documentLayout()->blockBoundingRect(block).top();
        chapters_.emplace_back(block.text(), 2 + static_cast<int>(top / pageHeight));
    }
}

void ManualPages::styleDocument() {
    // Block and table measures are in device pixels; the writer has dpi_ of them per inch.
    const double pt = dpi_ / 72.0;
    QTextCursor cursor(doc_.get());
    for (QTextBlock block = doc_->begin(); block.isValid(); block = block.next()) {
        cursor.setPosition(block.position());
        cursor.setPosition(block.position() + block.length() - 1, QTextCursor::KeepAnchor);
        QTextBlockFormat bf = block.blockFormat();
        QTextCharFormat cf;
        const int level = bf.headingLevel();
        if (level > 0) {
            static constexpr double sizes[] = {18, 13.5, 11.5, 10.5, 10, 10};
            cf.setFontFamilies({kSansFamily});
            cf.setFontPointSize(sizes[std::min(level, 6) - 1]);
            cf.setFontWeight(QFont::Bold);
            cf.setForeground(kHeading);
            bf.setTopMargin((block == doc_->begin() ? 0 : level == 1 ? 20 : 12) * pt);
            bf.setBottomMargin((level == 1 ? 8 : 4) * pt);
            cursor.setBlockFormat(bf);
            cursor.mergeCharFormat(cf);
            continue;
        }
        if (bf.hasProperty(QTextFormat::BlockCodeFence) || bf.nonBreakableLines()) {
            // Command lines and settings excerpts: one shaded box, lines close together.
            const bool first =
                !block.previous().blockFormat().hasProperty(QTextFormat::BlockCodeFence);
            const bool last = !block.next().blockFormat().hasProperty(QTextFormat::BlockCodeFence);
            bf.setBackground(QColor(240, 241, 244));
            bf.setLeftMargin(4 * pt);
            bf.setTopMargin(first ? 2 * pt : 0);
            bf.setBottomMargin(last ? 8 * pt : 0);
            bf.setLineHeight(100, QTextBlockFormat::ProportionalHeight);
            cursor.setBlockFormat(bf);
            QTextCharFormat mono;
            mono.setFontFamilies({kMonoFamily});
            mono.setFontPointSize(8.8);
            mono.setForeground(QColor(40, 44, 52));
            cursor.mergeCharFormat(mono);
            continue;
        }
        bool holdsImage = false;
        for (auto it = block.begin(); !it.atEnd(); ++it)
            holdsImage = holdsImage || it.fragment().charFormat().isImageFormat();
        // Leading applies to text; on a picture's line it would open a gap under it.
        if (!holdsImage) bf.setLineHeight(125, QTextBlockFormat::ProportionalHeight);
        if (cursor.currentTable()) {
            // The cell padding already spaces the text.
            bf.setTopMargin(0);
            bf.setBottomMargin(0);
        } else {
            bf.setBottomMargin(holdsImage ? 10 * pt : std::max(bf.bottomMargin(), 5.0 * pt));
        }
        cursor.setBlockFormat(bf);

        // Code spans and blocks: commands, file names, settings lines.
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment frag = it.fragment();
            if (!frag.charFormat().fontFixedPitch()) continue;
            QTextCursor c(doc_.get());
            c.setPosition(frag.position());
            c.setPosition(frag.position() + frag.length(), QTextCursor::KeepAnchor);
            QTextCharFormat mono;
            mono.setFontFamilies({kMonoFamily});
            mono.setFontPointSize(8.8);
            mono.setForeground(QColor(70, 40, 10));
            c.mergeCharFormat(mono);
        }
    }

    // Table measures, unlike block margins, are scaled by the layout from 96 dpi to the
    // device, so they are given in points of a 96 dpi screen.
    const double tpt = 96.0 / 72.0;
    forEachTable(doc_->rootFrame(), [&](QTextTable* table) {
        QTextTableFormat tf = table->format();
        tf.setBorder(0.6 * tpt);
        tf.setBorderBrush(kRule);
        tf.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
        tf.setBorderCollapse(true);
        tf.setCellPadding(3.5 * tpt);
        tf.setCellSpacing(0);
        tf.setWidth(QTextLength(QTextLength::PercentageLength, 100));
        tf.setTopMargin(3 * tpt);
        tf.setBottomMargin(8 * tpt);
        tf.setHeaderRowCount(1);
        table->setFormat(tf);
        for (int row = 0; row < table->rows(); ++row) {
            for (int col = 0; col < table->columns(); ++col) {
                QTextTableCell cell = table->cellAt(row, col);
                QTextCharFormat cf;
                cf.setFontFamilies({kSansFamily});
                cf.setFontPointSize(8.8);
                if (row == 0) {
                    cf.setFontWeight(QFont::Bold);
                    cf.setBackground(QColor(226, 232, 242));
                } else if (row % 2 == 0) {
                    cf.setBackground(QColor(246, 247, 249));
                }
                QTextCursor c = cell.firstCursorPosition();
                c.setPosition(cell.lastCursorPosition().position(), QTextCursor::KeepAnchor);
                c.mergeCharFormat(cf);
                QTextTableCellFormat cellFormat = cell.format().toTableCellFormat();
                if (row == 0)
                    cellFormat.setBackground(QColor(226, 232, 242));
                else if (row % 2 == 0)
                    cellFormat.setBackground(QColor(246, 247, 249));
                cell.setFormat(cellFormat);
            }
        }
    });
}

void ManualPages::keepHeadingsWithNext() {
    // The layout has no keep-with-next: a heading whose following block starts on the next
    // page is moved there, and the layout redone, until no heading is left at a page foot.
    const double pageHeight = body_.height();
    // Page of a block's first line: a block may begin on one page and have its first line
    // pushed to the next.
    auto pageOf = [&](const QTextBlock& b) {
        double y = doc_->documentLayout()->blockBoundingRect(b).top();
        if (b.layout() && b.layout()->lineCount() > 0) y += b.layout()->lineAt(0).y();
        // A line pushed to a new page starts at its very top; allow for rounding.
        return static_cast<int>((y + 1.0) / pageHeight);
    };
    auto isCode = [](const QTextBlock& b) {
        return b.isValid() && b.blockFormat().hasProperty(QTextFormat::BlockCodeFence);
    };
    for (int round = 0; round < 40; ++round) {
        bool moved = false;
        for (QTextBlock block = doc_->begin(); block.isValid(); block = block.next()) {
            const QTextBlock next = block.next();
            // Headings keep with what follows; a short code excerpt is never split.
            const bool heading = block.blockFormat().headingLevel() > 0;
            if (!next.isValid() || !(heading || (isCode(block) && isCode(next)))) continue;
            if (pageOf(block) == pageOf(next)) continue;
            QTextBlock first = block;
            while (!heading && isCode(first.previous())) first = first.previous();
            QTextBlockFormat bf = first.blockFormat();
            if (bf.pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore) continue;
            bf.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
            QTextCursor(first).setBlockFormat(bf);
            moved = true;
            break;
        }
        if (!moved) return;
    }
}

int ManualPages::pageCount() const {
    return 1 + doc_->pageCount();
}

void ManualPages::paintPage(QPainter& p, int index) const {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    if (index == 0)
        paintTitlePage(p);
    else
        paintBodyPage(p, index - 1);
    p.restore();
}

namespace {

// Fonts sized in points of the page, whatever device paints it.
QFont pageFont(const QString& family, double points, double dpi, bool bold = false) {
    QFont f(family);
    f.setPixelSize(static_cast<int>(points * dpi / 72.0 + 0.5));
    f.setBold(bold);
    return f;
}

}  // namespace

void ManualPages::paintTitlePage(QPainter& p) const {
    const double mm = dpi_ / 25.4;
    const double left = body_.left();
    const double width = body_.width();

    // A band across the top in the panel's anodised grey, with the maker's orange rule.
    const QRectF band(0, 0, page_.width(), 62 * mm);
    p.fillRect(band, QColor(46, 50, 56));
    p.fillRect(QRectF(0, band.bottom(), page_.width(), 1.6 * mm), kAccent);

    p.setPen(QColor(240, 240, 236));
    p.setFont(pageFont(kSansFamily, 34, dpi_, true));
    p.drawText(QRectF(left, 16 * mm, width, 22 * mm), Qt::AlignLeft | Qt::AlignVCenter,
               source_.title);
    p.setPen(QColor(200, 204, 210));
    p.setFont(pageFont(kSansFamily, 15, dpi_));
    p.drawText(QRectF(left, 38 * mm, width, 12 * mm), Qt::AlignLeft | Qt::AlignVCenter,
               source_.subtitle);

    // The front panel, with a thin frame and a soft shadow, as the console shows it.
    if (!picture_.isNull()) {
        const double w = width;
        const double h = w * picture_.height() / picture_.width();
        const QRectF img(left, 86 * mm, w, h);
        p.fillRect(img.translated(1.2 * mm, 1.2 * mm), QColor(0, 0, 0, 50));
        p.drawImage(img, picture_);
        p.setPen(QPen(QColor(20, 20, 20), 0.25 * mm));
        p.setBrush(Qt::NoBrush);
        p.drawRect(img);
    }

    // Contents: the chapters with their pages, dotted leaders between.
    double y = 182 * mm;
    const double line = 8.5 * mm;
    const QFont entry = pageFont(kSansFamily, 11.5, dpi_);
    const QFontMetricsF fm(entry);
    p.setFont(entry);
    for (const auto& [title, page] : chapters_) {
        const QRectF row(left, y, width, line);
        const QString number = QString::number(page);
        p.setPen(kInk);
        p.drawText(row, Qt::AlignLeft | Qt::AlignVCenter, title);
        p.drawText(row, Qt::AlignRight | Qt::AlignVCenter, number);
        const double from = left + fm.horizontalAdvance(title) + 3 * mm;
        const double to = row.right() - fm.horizontalAdvance(number) - 3 * mm;
        p.setPen(QPen(kRule, 0.35 * mm, Qt::DotLine));
        p.drawLine(QPointF(from, row.center().y() + 1.2 * mm),
                   QPointF(to, row.center().y() + 1.2 * mm));
        y += line;
    }

    const QRectF foot(left, page_.height() - 18 * mm, width, 7 * mm);
    p.setPen(QPen(kRule, 0.25 * mm));
    p.drawLine(foot.topLeft(), foot.topRight());
    p.setPen(kMuted);
    p.setFont(pageFont(kSansFamily, 8, dpi_));
    p.drawText(foot, Qt::AlignLeft | Qt::AlignVCenter, source_.footer);
    p.drawText(foot, Qt::AlignRight | Qt::AlignVCenter, version_);
}

void ManualPages::paintBodyPage(QPainter& p, int bodyIndex) const {
    const double mm = dpi_ / 25.4;
    const double pageHeight = body_.height();
    p.save();
    p.translate(body_.left(), body_.top() - bodyIndex * pageHeight);
    const QRectF clip(0, bodyIndex * pageHeight, body_.width(), pageHeight);
    QAbstractTextDocumentLayout::PaintContext ctx;
    ctx.clip = clip;
    ctx.palette.setColor(QPalette::Text, kInk);
    p.setClipRect(clip);
    doc_->documentLayout()->draw(&p, ctx);
    p.restore();

    const QRectF foot(body_.left(), page_.height() - 18 * mm, body_.width(), 7 * mm);
    p.setPen(QPen(kRule, 0.2 * mm));
    p.drawLine(foot.topLeft(), foot.topRight());
    p.setPen(kMuted);
    p.setFont(pageFont(kSansFamily, 8, dpi_));
    p.drawText(foot, Qt::AlignLeft | Qt::AlignVCenter, source_.footer);
    p.drawText(foot, Qt::AlignRight | Qt::AlignVCenter, QString::number(bodyIndex + 2));
}

}  // namespace kt6::docs
