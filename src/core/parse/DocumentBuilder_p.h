#pragma once

#include "core/model/DocumentTables_p.h"
#include "core/model/X12Document.h"

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace kelvane::detail {

/// The one place allowed to fill in segment lists, trees and documents.
class DocumentBuilder
{
public:
    static SegmentTable &table(X12SegmentList &list) { return *list.m_table; }
    static const SegmentTable &table(const X12SegmentList &list) { return *list.m_table; }
    static void setSize(X12SegmentList &list, std::size_t size) { list.m_size = size; }
    static NodeTable &table(X12Tree &tree) { return *tree.m_table; }

    static std::shared_ptr<X12Document> makeDocument()
    {
        return std::shared_ptr<X12Document>(new X12Document);
    }
    static std::string &text(X12Document &document) { return document.m_text; }
    static void finishDocument(X12Document &document, std::string fileName,
                               X12Delimiters delimiters, X12SegmentList segments, X12Tree tree,
                               std::vector<std::string> transactionSets)
    {
        document.m_fileName = std::move(fileName);
        document.m_delimiters = std::move(delimiters);
        document.m_laterDelimiters = std::move(table(segments).laterDelimiters);
        document.m_segments = std::move(segments);
        document.m_tree = std::move(tree);
        document.m_transactionSets = std::move(transactionSets);
    }
};

} // namespace kelvane::detail
