#pragma once

#include <QString>
#include <QtCore/qnamespace.h>

#include <cstdint>
#include <optional>

class X12Document;
struct X12GuideLoop;

/// Custom roles shared by the document views' models and delegates.
enum DocumentRole {
    NodeIndexRole = Qt::UserRole + 1, // node index in the document (quint32)
    SubtitleRole,                     // node subtitle or segment summary (QString)
    KindRole,                         // X12Node::Kind as int
    PositionRole,                     // segment position (qlonglong)
    TagRole,                          // segment tag (QString)
    RawRole,                          // raw segment text (QString), cut for display
    FindingRole,                      // whether an envelope finding concerns the segment (bool)
    LoopRole, // guide loop ID (QString): the loop a node begins, the loop a listed segment is in
};

/// FindingRole's value: whether an envelope finding concerns the segment (or node).
bool hasFinding(const X12Document &document, std::uint32_t segment);

/// LoopRole's value: a loop's ID as the badge shows it; empty without a loop.
QString loopID(const std::optional<X12GuideLoop> &loop);
