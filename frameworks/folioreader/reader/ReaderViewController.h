// ReaderViewController: the reader screen, presented full screen over the screen that opened the
// book. It holds the open book and the configuration it was opened with; the browser's reader
// renderer draws the pages from its description. Its close button dismisses it, which brings
// the screen beneath back into view, and ends the book's session.
#pragma once

#include "frameworks/folioreader/FolioReaderConfig.h"
#include "frameworks/folioreader/highlights/placeHighlights.h"
#include "frameworks/folioreader/reader/ReaderSession.h"
#include "frameworks/folioreader/stores/HighlightStore.h"
#include "frameworks/folioreader/stores/ReadingPlaces.h"
#include "platform/ui/Button.h"
#include "platform/ui/Label.h"
#include "platform/ui/ReaderScreen.h"
#include "platform/ui/ViewController.h"

#include <atomic>
#include <map>
#include <memory>

namespace folioreader {

class ReaderViewController : public ui::ViewController, public ui::ReaderScreen {
public:
    ReaderViewController(std::shared_ptr<FolioReaderConfig> config,
        std::shared_ptr<folioreader::ReaderSession> session);
    ~ReaderViewController() override;
    std::string className() const override { return "ReaderViewController"; }

    const FolioReaderConfig& config() const { return *m_config; }
    const folioreader::ReaderSession& session() const { return *m_session; }
    // Whether highlights can be kept, and why not when they cannot.
    bool keepsHighlights() const { return m_highlights != nullptr; }
    const std::string& highlightProblem() const { return m_highlightProblem; }
    // The file the book's reading place is kept in, beside the highlight database; empty when
    // the highlights live in memory, and then no place is kept.
    const std::string& readingPlacesPath() const { return m_readingPlacesPath; }

    void loadView() override;
    void viewDidLoad() override;

    // The close button's action: dismisses the reader, then ends the session.
    void close();

    ui::Button* closeButton() const { return m_closeButton.get(); }
    ui::Label* titleLabel() const { return m_titleLabel.get(); }
    // The words shown instead of pages when the book cannot be read; nothing otherwise.
    ui::Label* messageLabel() const { return m_messageLabel.get(); }

    // ui::ReaderScreen
    const std::string& readerSession() const override { return m_session->id(); }
    ui::ReaderDescription readerDescription() const override;
    std::vector<std::shared_ptr<ui::Image>> readerImages() const override;
    foundation::Result<ui::ServedFile> openReaderFile(std::string_view path) const override;
    foundation::Result<nlohmann::json> performReaderAction(const nlohmann::json& action) override;
    foundation::Result<SearchJob> startReaderSearch(const std::string& query) override;
    foundation::Result<ui::ExportedFile> exportReaderHighlights() override;

private:
    std::string bookKey() const;
    std::optional<ui::ReaderDescription::Place> openingPlace() const;
    foundation::Result<nlohmann::json> keepPlace(const nlohmann::json& action);
    // The book's highlights in reading order, each placed in the book once and remembered: the
    // book's files do not change while it is open.
    std::vector<folioreader::PlacedHighlight> placedHighlights();

    std::shared_ptr<FolioReaderConfig> m_config;
    std::shared_ptr<folioreader::ReaderSession> m_session;
    std::unique_ptr<folioreader::HighlightStore> m_highlights;
    std::string m_highlightProblem;
    std::string m_readingPlacesPath;
    std::map<std::string, folioreader::PlacedHighlight> m_placed; // by the highlight's id
    // Where the book was left: when this reader opened it, then as the page keeps its place. The
    // description shows it, so a page drawn anew opens there.
    std::optional<folioreader::ReadingPlace> m_openingPlace;
    // The body text length of each document of the spine, measured at the first place kept.
    std::optional<std::vector<std::uint64_t>> m_textLengths;
    // Counts the searches started; a search goes on only while it is the latest.
    std::shared_ptr<std::atomic<std::uint64_t>> m_searches
        = std::make_shared<std::atomic<std::uint64_t>>(0);
    std::shared_ptr<ui::Button> m_closeButton;
    std::shared_ptr<ui::Label> m_titleLabel;
    std::shared_ptr<ui::Label> m_messageLabel;
};

}
