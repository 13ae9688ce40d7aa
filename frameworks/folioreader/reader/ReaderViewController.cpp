// The reader screen: its views, its close action, what the browser's renderer is told, and the
// actions the renderer sends back (highlights, the place reached).
#include "frameworks/folioreader/reader/ReaderViewController.h"

#include "frameworks/folioreader/highlights/HighlightMarkdown.h"
#include "frameworks/folioreader/highlights/exportHighlights.h"
#include "frameworks/folioreader/search/bookTextLengths.h"
#include "frameworks/folioreader/search/searchBook.h"
#include "platform/foundation/FileDescriptor.h"

#include <algorithm>
#include <ctime>

namespace folioreader {

namespace {

constexpr double barHeight = 44;
constexpr double closeWidth = 64;
// The most matches one search lists; a word on every line of a long book needs no more.
constexpr std::size_t mostSearchMatches = 2000;

// The first characters of text, whole UTF-8 sequences only.
std::string firstCharacters(const std::string& text, std::size_t characters)
{
    std::size_t at = 0;
    for (std::size_t counted = 0; at < text.size() && counted < characters; ++counted) {
        ++at;
        while (at < text.size() && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80)
            ++at;
    }
    return text.substr(0, at);
}

// Places the bar along the top and the message in the middle of whatever size the window gives.
class ReaderView : public ui::View {
public:
    std::string className() const override { return "ReaderView"; }

    std::shared_ptr<ui::View> bar;
    std::shared_ptr<ui::Button> close;
    std::shared_ptr<ui::Label> title;
    std::shared_ptr<ui::Label> message;

    void layoutSubviews() override
    {
        double width = frame().size.width;
        double height = frame().size.height;
        bar->setFrame(ui::makeRect(0, 0, width, barHeight));
        close->setFrame(ui::makeRect(0, 0, closeWidth, barHeight));
        title->setFrame(
            ui::makeRect(closeWidth, 0, std::max(0.0, width - 2 * closeWidth), barHeight));
        message->setFrame(ui::makeRect(
            16, barHeight, std::max(0.0, width - 32), std::max(0.0, height - barHeight)));
        ui::View::layoutSubviews();
    }
};

std::optional<std::uint64_t> unsignedMember(const nlohmann::json& json, const char* name)
{
    auto found = json.find(name);
    if (found == json.end() || !found->is_number_integer())
        return std::nullopt;
    if (found->is_number_unsigned())
        return found->get<std::uint64_t>();
    auto value = found->get<std::int64_t>();
    return value < 0 ? std::nullopt : std::optional<std::uint64_t>(std::uint64_t(value));
}

std::optional<std::string> stringMember(const nlohmann::json& json, const char* name)
{
    auto found = json.find(name);
    if (found == json.end() || !found->is_string())
        return std::nullopt;
    return found->get<std::string>();
}

nlohmann::json highlightJson(const folioreader::PlacedHighlight& placed)
{
    const auto& highlight = placed.highlight;
    return { { "id", highlight.id }, { "document", highlight.document },
        { "start", highlight.start }, { "end", highlight.end }, { "text", highlight.text },
        { "chapter", placed.chapter }, { "matches", placed.matchesText },
        { "created", highlight.created.iso8601() } };
}

}

ReaderViewController::ReaderViewController(
    std::shared_ptr<FolioReaderConfig> config, std::shared_ptr<folioreader::ReaderSession> session)
    : m_config(config ? std::move(config) : std::make_shared<FolioReaderConfig>())
    , m_session(std::move(session))
{
    setModalPresentationStyle(ui::ModalPresentationStyle::fullScreen);
    registerAction("close", [this] { close(); });
    if (!m_session->failure()) {
        auto store = folioreader::HighlightStore::open(m_config->highlightDatabase);
        if (store)
            m_highlights = std::move(*store);
        else
            m_highlightProblem = store.error().description();
        if (auto database = m_config->highlightDatabase.fileURL) {
            std::string path = database->path();
            std::size_t slash = path.rfind('/');
            m_readingPlacesPath
                = (slash == std::string::npos ? std::string(".") : path.substr(0, slash)) + "/"
                + folioreader::readingPlacesName;
            m_openingPlace = folioreader::readingPlace(m_readingPlacesPath, bookKey());
        }
    }
}

ReaderViewController::~ReaderViewController()
{
    m_session->close();
}

void ReaderViewController::loadView()
{
    auto view = std::make_shared<ReaderView>();
    const FolioReaderConfig& config = *m_config;
    view->setBackgroundColor(
        config.startsInNightMode ? config.nightPaperColor : config.dayPaperColor);

    // With the bars always hidden, the bar stays only as the corner that holds the way out.
    view->bar = std::make_shared<ui::View>();
    if (!config.alwaysHidesChrome)
        view->bar->setBackgroundColor(
            config.startsInNightMode ? config.nightPaperColor : config.dayPaperColor);
    view->close = ui::Button::buttonWithType(ui::ButtonType::system);
    view->close->setTitle("Close", ui::ControlStateFlag::normal);
    view->close->setAccessibilityLabel("close");
    view->close->setTintColor(config.chromeColor);
    view->title = std::make_shared<ui::Label>();
    view->title->setText(m_session->title());
    view->title->setTextColor(config.chromeColor);
    view->title->setTextAlignment(ui::TextAlignment::center);
    view->title->setHidden(!config.showsTitle || config.alwaysHidesChrome);
    view->bar->addSubview(view->close);
    view->bar->addSubview(view->title);

    view->message = std::make_shared<ui::Label>();
    view->message->setNumberOfLines(0);
    view->message->setTextAlignment(ui::TextAlignment::center);
    view->message->setTextColor(config.chromeColor);
    if (m_session->failure())
        view->message->setText("This book cannot be opened.\n" + *m_session->failure());
    view->message->setHidden(!m_session->failure());

    view->addSubview(view->message);
    view->addSubview(view->bar);
    m_closeButton = view->close;
    m_titleLabel = view->title;
    m_messageLabel = m_session->failure() ? view->message : nullptr;
    setView(view);
}

void ReaderViewController::viewDidLoad()
{
    ui::ViewController::viewDidLoad();
    auto self = weak_from_this().lock();
    // The action travels up the responder chain to this controller when it is not owned yet.
    m_closeButton->addTarget(self, "close", ui::ControlEvent::touchUpInside);
}

void ReaderViewController::close()
{
    auto session = m_session;
    // A reader that is not presented (any more) has nothing to dismiss; its session still ends.
    if (!presentingViewController()) {
        session->close();
        return;
    }
    dismissViewControllerAnimated(true, [session] { session->close(); });
}

std::string ReaderViewController::bookKey() const
{
    std::string_view path = m_session->bookPath();
    while (path.size() > 1 && path.back() == '/')
        path.remove_suffix(1);
    std::size_t slash = path.rfind('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::optional<ui::ReaderDescription::Place> ReaderViewController::openingPlace() const
{
    if (!m_openingPlace)
        return std::nullopt;
    // A place in a document the book no longer has opens the book at its start; the text size and
    // night mode still hold.
    auto index = m_session->spineIndexOf(m_openingPlace->document);
    return ui::ReaderDescription::Place { .spine = index,
        .offset = index ? m_openingPlace->offset : 0,
        .picture = index ? m_openingPlace->picture : 0,
        .fontScale = m_openingPlace->fontScale,
        .night = m_openingPlace->night,
        .device = m_openingPlace->device };
}

foundation::Result<nlohmann::json> ReaderViewController::keepPlace(const nlohmann::json& action)
{
    auto spine = unsignedMember(action, "spine");
    auto offset = unsignedMember(action, "offset");
    auto fontScale = action.find("fontScale");
    auto night = action.find("night");
    // A place on a picture counts the pictures after its offset; without the member it is a
    // character.
    auto picture = action.contains("picture") ? unsignedMember(action, "picture")
                                              : std::optional<std::uint64_t>(0);
    if (!picture)
        return foundation::Error(
            "a place's \"picture\" counts the pictures after its offset, from 1 (0: a character)");
    if (!spine || *spine >= m_session->spine().size() || !offset || fontScale == action.end()
        || !fontScale->is_number() || night == action.end() || !night->is_boolean())
        return foundation::Error(
            "a place names the \"spine\" index, the \"offset\", the \"fontScale\" and \"night\"");
    auto finished = action.find("finished");
    if (finished != action.end() && !finished->is_boolean())
        return foundation::Error(
            "a place's \"finished\" says whether the book's last screen is shown");
    folioreader::ReadingPlace place { m_session->spine()[*spine].entryName, *offset,
        fontScale->get<double>(), night->get<bool>(), *picture };
    // The book's documents are measured once per opening, at the first place kept: the list shows
    // how far into the text the place stands without opening the book.
    if (!m_textLengths)
        m_textLengths = folioreader::bookTextLengths(*m_session);
    place.progress = folioreader::bookProgress(*m_textLengths, *spine, *offset);
    place.finished = finished != action.end() && finished->get<bool>();
    place.keptAt = std::time(nullptr);
    // A page drawn anew while the book is open (a reload) opens it where it was left.
    m_openingPlace = place;
    if (m_readingPlacesPath.empty())
        return nlohmann::json { { "kept", false } };
    TRY(folioreader::keepReadingPlace(m_readingPlacesPath, bookKey(), place));
    return nlohmann::json { { "kept", true } };
}

ui::ReaderDescription ReaderViewController::readerDescription() const
{
    const auto& session = *m_session;
    ui::ReaderDescription description {
        .session = session.id(),
        .book = bookKey(),
        .title = session.title(),
        .author = session.author(),
        .failure = session.failure(),
        .spine = {},
        .contents = {},
        .pageProgression = session.pageProgression(),
        .writingMode = session.writingMode(),
        .settings = readerSettings(*m_config),
        // The highlights themselves are asked for by the renderer: the description stays the
        // same for the whole of the reading, so the browser never draws the reader afresh under
        // the reader.
        .highlightsAvailable = m_highlights != nullptr,
        .highlightsReadOnly = !m_highlights || m_highlights->isReadOnly(),
        .highlightProblem = m_highlightProblem,
        .place = openingPlace(),
        .closeButton = m_closeButton ? m_closeButton->viewId() : 0,
    };
    for (const auto& document : session.spine()) {
        const auto& layout = document.layout;
        description.spine.push_back({ .path = document.entryName,
            .linear = document.linear,
            .fixed = layout.fixed,
            .spreads = layout.spreads,
            .side = layout.side });
    }
    for (const auto& entry : session.tableOfContents()) {
        auto index = entry.entryName.empty() ? std::nullopt : session.spineIndexOf(entry.entryName);
        description.contents.push_back({ .title = entry.title,
            .depth = entry.depth,
            .spine = index,
            .fragment = entry.fragment });
    }
    return description;
}

std::vector<std::shared_ptr<ui::Image>> ReaderViewController::readerImages() const
{
    return quotePictures(*m_config);
}

foundation::Result<ui::ServedFile> ReaderViewController::openReaderFile(std::string_view path) const
{
    return m_session->openContent(path);
}

foundation::Result<nlohmann::json> ReaderViewController::performReaderAction(
    const nlohmann::json& action)
{
    auto type = stringMember(action, "type");
    if (type == "keepPlace")
        return keepPlace(action);
    if (!type || (*type != "highlights" && *type != "addHighlight" && *type != "removeHighlight"))
        return foundation::Error(
            "the reader knows the actions keepPlace, highlights, addHighlight and removeHighlight");
    if (!m_highlights)
        return foundation::Error("highlights cannot be kept: " + m_highlightProblem);

    if (*type == "highlights") {
        auto items = nlohmann::json::array();
        for (const auto& placed : placedHighlights())
            items.push_back(highlightJson(placed));
        return nlohmann::json { { "highlights", std::move(items) } };
    }

    if (*type == "removeHighlight") {
        auto id = stringMember(action, "id");
        if (!id)
            return foundation::Error("\"id\" names the highlight to remove");
        TRY(m_highlights->remove(bookKey(), *id));
        m_placed.erase(*id);
        return nlohmann::json { { "removed", *id } };
    }

    folioreader::Highlight highlight;
    auto document = stringMember(action, "document");
    auto start = unsignedMember(action, "start");
    auto end = unsignedMember(action, "end");
    auto text = stringMember(action, "text");
    if (!document || !start || !end || !text)
        return foundation::Error(
            "a highlight names its \"document\", \"start\", \"end\" and \"text\"");
    if (!m_session->spineIndexOf(*document))
        return foundation::Error("\"" + *document + "\" is not a page of the book");
    highlight.book = bookKey();
    highlight.document = *document;
    highlight.start = *start;
    highlight.end = *end;
    highlight.text = *text;
    auto added = TRY(m_highlights->add(std::move(highlight)));
    for (const auto& placed : placedHighlights()) {
        if (placed.highlight.id == added.id)
            return nlohmann::json { { "highlight", highlightJson(placed) } };
    }
    return foundation::Error("the highlight was kept but cannot be shown");
}

std::vector<folioreader::PlacedHighlight> ReaderViewController::placedHighlights()
{
    std::vector<folioreader::Highlight> unplaced;
    auto kept = m_highlights->highlightsOf(bookKey());
    for (const auto& highlight : kept) {
        if (!m_placed.contains(highlight.id))
            unplaced.push_back(highlight);
    }
    if (!unplaced.empty()) {
        std::vector<std::string> spine;
        for (const auto& document : m_session->spine())
            spine.push_back(document.entryName);
        auto read = [&](const std::string& name) -> foundation::Result<std::string> {
            auto file = TRY(m_session->openContent(name));
            std::string bytes(file.size(), '\0');
            if (!foundation::readAllAt(file.descriptor(), bytes.data(), bytes.size(), 0))
                return foundation::Error("\"" + name + "\" cannot be read");
            return bytes;
        };
        auto placed = folioreader::placeHighlights(
            std::move(unplaced), spine, m_session->tableOfContents(), read);
        for (auto& item : placed)
            m_placed.insert_or_assign(item.highlight.id, std::move(item));
    }
    std::vector<folioreader::PlacedHighlight> ordered;
    for (const auto& highlight : kept)
        ordered.push_back(m_placed.at(highlight.id));
    std::stable_sort(ordered.begin(), ordered.end(), folioreader::comesBefore);
    return ordered;
}

foundation::Result<ui::ExportedFile> ReaderViewController::exportReaderHighlights()
{
    if (!m_highlights)
        return foundation::Error("highlights cannot be kept: " + m_highlightProblem);
    folioreader::BookHighlights book { .title = m_session->title(),
        .author = m_session->author(),
        .file = bookKey(),
        .problem = {},
        .highlights = placedHighlights() };
    return ui::ExportedFile {
        .fileName = folioreader::highlightsFileName(book.title.empty() ? book.file : book.title),
        .mediaType = folioreader::markdownMediaType,
        .bytes = folioreader::bookHighlightsMarkdown(book),
    };
}

foundation::Result<ui::ReaderScreen::SearchJob> ReaderViewController::startReaderSearch(
    const std::string& query)
{
    auto folded
        = folioreader::foldForSearch(firstCharacters(query, folioreader::longestSearchQuery));
    if (folded.empty())
        return foundation::Error("there is nothing to search for");
    if (m_session->failure())
        return foundation::Error("the book cannot be read");
    std::uint64_t search = ++*m_searches;
    // The book's files do not change while it is open, so the worker reads them without the
    // main loop; it stops when the book closes or a newer search starts.
    return SearchJob(
        [session = m_session, searches = m_searches, search, folded](const auto& found) {
            auto outcome = folioreader::searchBook(
                *session, folded, mostSearchMatches,
                [&] { return searches->load() != search || !session->isOpen(); },
                [&](std::size_t page, const folioreader::SearchMatch& match) {
                    return found({ { "spine", page }, { "start", match.start },
                        { "end", match.end }, { "before", match.before }, { "match", match.match },
                        { "after", match.after } });
                });
            if (outcome.cancelled)
                return nlohmann::json { { "done", false }, { "count", outcome.count } };
            return nlohmann::json { { "done", outcome.complete }, { "count", outcome.count },
                { "more", outcome.count >= mostSearchMatches } };
        });
}

}
