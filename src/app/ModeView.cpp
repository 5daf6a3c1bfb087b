#include "app/ModeView.h"

#include "app/DisplayText.h"
#include "app/WindowSession.h"
#include "core/model/X12Document.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QClipboard>

void ModeView::copySegments(const X12Document &document, const std::vector<std::uint32_t> &segments)
{
    QStringList lines;
    for (const std::uint32_t segment : segments)
        lines << DisplayText::exact(document.segment(segment).raw());
    QApplication::clipboard()->setText(lines.join(u'\n'));
}

void ModeView::addCopySegmentAction(QAbstractItemView *view, const WindowSession &session) const
{
    // Ctrl+C is the window's Edit ▸ Copy, which asks the view; here it is the context menu's.
    auto *copy = new QAction(QStringLiteral("Copy Segment"), view);
    QObject::connect(copy, &QAction::triggered, view, [this, &session] {
        const auto document = session.document();
        const auto segments = selectedSegments();
        if (document && !segments.empty())
            copySegments(*document, segments);
    });
    view->addAction(copy);
    view->setContextMenuPolicy(Qt::ActionsContextMenu);
}
