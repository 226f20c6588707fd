// Lays a manual out on A4 pages and paints them: a title page, then the body pages with a
// running foot. The same painting serves the PDF and the PNG proofs, so a proof shows what
// the PDF holds.
#pragma once

#include "manual_source.h"

#include <QImage>
#include <QPainter>
#include <QPdfWriter>
#include <QString>
#include <QTextDocument>

#include <memory>
#include <utility>
#include <vector>

namespace kt6::docs {

class ManualPages {
  public:
    // Lays the body out for the writer's pages; picture is shown on the title page and
    // wherever the body refers to the image "panel".
    ManualPages(const ManualSource& source, const QImage& picture, const QString& version,
                QPdfWriter& writer);

    // Number of pages, the title page included.
    int pageCount() const;

    // Paints page index (0 is the title page) on a painter whose device has the writer's
    // page size in pixels.
    void paintPage(QPainter& p, int index) const;

    // Pixel size of one page.
    QSizeF pageSize() const { return page_; }

  private:
    void styleDocument();
    void keepHeadingsWithNext();
    void paintTitlePage(QPainter& p) const;
    void paintBodyPage(QPainter& p, int bodyIndex) const;

    ManualSource source_;
    QImage picture_;
    QString version_;
    double dpi_;
    QSizeF page_;
    QRectF body_;
    std::unique_ptr<QTextDocument> doc_;
    std::vector<std::pair<QString, int>> chapters_;  // title and page number, for the contents
};

}  // namespace kt6::docs
