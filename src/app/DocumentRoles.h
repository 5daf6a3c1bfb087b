#pragma once

#include <QString>
#include <QtCore/qnamespace.h>

#include <cstdint>
#include <optional>
#include <span>

class X12Document;
class X12GuideLoops;
struct X12GuideFinding;
struct X12GuideLoop;

/// Custom roles shared by the document views' models and delegates.
enum DocumentRole {
    NodeIndexRole = Qt::UserRole + 1, // node index in the document (quint32)
    SubtitleRole,                     // node subtitle or segment summary (QString)
    KindRole,                         // X12Node::Kind as int
    PositionRole,                     // segment position (qlonglong)
    TagRole,                          // segment tag (QString)
    RawRole,                          // raw segment text (QString), cut for display
    FindingRole,                      // whether a finding concerns the segment (bool)
    LoopRole, // guide loop ID (QString): the loop a node begins, the loop a listed segment is in
};

/// The guide check's findings about one segment (index from 0).
std::span<const X12GuideFinding> guideFindingsAbout(const X12GuideLoops &loops,
                                                    std::uint32_t segment);

/// FindingRole's value: whether an envelope finding, or one of the guide check, concerns the
/// segment (or node).
bool hasFinding(const X12Document &document, const X12GuideLoops &loops, std::uint32_t segment);

/// LoopRole's value: a loop's ID as the badge shows it; empty without a loop.
QString loopID(const std::optional<X12GuideLoop> &loop);
