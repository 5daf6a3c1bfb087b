#include "app/ModeView.h"

#include "app/WindowSession.h"
#include "core/model/X12Document.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLocale>

std::optional<QString> ModeView::copySegments(const X12Document &document,
                                              const std::vector<std::uint32_t> &segments)
{
    // The size first, from the segments' extents: nothing is copied for a refusal.
    std::size_t bytes = segments.empty() ? 0 : segments.size() - 1;
    for (const std::uint32_t segment : segments)
        bytes += document.segment(segment).raw().size();
    if (bytes > copyLimit) {
        const QLocale locale;
        const QString size =
            locale.formattedDataSize(qint64(bytes), 1, QLocale::DataSizeTraditionalFormat);
        const QString limit =
            locale.formattedDataSize(qint64(copyLimit), 0, QLocale::DataSizeTraditionalFormat);
        return (segments.size() == 1
                    ? QStringLiteral("Not copied: the selected segment holds %1 of text").arg(size)
                    : QStringLiteral("Not copied: the %L1 selected segments hold %2 of text")
                          .arg(segments.size())
                          .arg(size)) +
               QStringLiteral(", more than the %1 Copy takes at once. Select less, or export "
                              "the file.")
                   .arg(limit);
    }
    QByteArray text;
    text.reserve(qsizetype(bytes));
    for (const std::uint32_t segment : segments) {
        if (!text.isEmpty())
            text += '\n';
        const std::string_view raw = document.segment(segment).raw();
        text.append(raw.data(), qsizetype(raw.size()));
    }
    QApplication::clipboard()->setText(QString::fromUtf8(text));
    return std::nullopt;
}

void ModeView::addCopySegmentAction(QAbstractItemView *view, const WindowSession &session,
                                    std::function<void(const QString &)> refused) const
{
    // Ctrl+C is the window's Edit ▸ Copy, which asks the view; here it is the context menu's.
    auto *copy = new QAction(QStringLiteral("Copy Segment"), view);
    QObject::connect(copy, &QAction::triggered, view, [this, &session, refused] {
        const auto document = session.document();
        const auto segments = selectedSegments();
        if (!document || segments.empty())
            return;
        if (const auto refusal = copySegments(*document, segments))
            refused(*refusal);
    });
    view->addAction(copy);
    view->setContextMenuPolicy(Qt::ActionsContextMenu);
}
