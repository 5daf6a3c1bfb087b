#pragma once

#include <QObject>
#include <QString>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

class Platform;
class X12Document;

/// The one observable state of the window: the document shown, the file it came from, the last
/// error, the search text and the view mode, and the user's commands on them. Main thread only.
class AppModel : public QObject
{
    Q_OBJECT

public:
    enum class ViewMode { outline, flat, raw };
    static constexpr ViewMode allViewModes[] = {ViewMode::outline, ViewMode::flat, ViewMode::raw};
    /// "Outline", "Segments", "Raw": the mode's raw value and its title.
    static QString title(ViewMode mode);
    /// The mode with exactly that raw value, or nothing.
    static std::optional<ViewMode> viewMode(const QString &rawValue);

    explicit AppModel(Platform &platform, QObject *parent = nullptr);
    ~AppModel() override;

    std::shared_ptr<const X12Document> document() const { return m_document; }
    const std::optional<QString> &fileURL() const { return m_fileURL; }
    const std::optional<QString> &errorMessage() const { return m_errorMessage; }
    const QString &searchText() const { return m_searchText; }
    ViewMode viewMode() const { return m_viewMode; }

    void setSearchText(const QString &text);
    void setViewMode(ViewMode mode);

    /// Reads (UTF-8, else ISO Latin 1), parses and shows a file; failures go to errorMessage.
    void open(const QString &path);
    /// Asks for a file and opens it.
    void showOpenPanel();
    /// Indices of the segments that match the search text, in document order. Computed once per
    /// document and query: both are immutable while the result is cached. Shared, so the views
    /// hold it without copying millions of indices.
    std::shared_ptr<const std::vector<std::uint32_t>> filteredSegments() const;
    /// Asks for a destination and writes the PDF report there.
    void exportPDF();

signals:
    void documentChanged();
    void fileURLChanged();
    void errorMessageChanged();
    void searchTextChanged();
    void viewModeChanged();

private:
    void setErrorMessage(std::optional<QString> message);

    Platform &m_platform;
    std::shared_ptr<const X12Document> m_document;
    std::optional<QString> m_fileURL;
    std::optional<QString> m_errorMessage;
    QString m_searchText;
    ViewMode m_viewMode = ViewMode::outline;

    struct FilterCache;
    mutable std::unique_ptr<FilterCache> m_filter;
};
