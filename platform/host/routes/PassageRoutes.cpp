// The passages route: the typed words handed to the application, its answer written as JSON.
#include "platform/host/routes/PassageRoutes.h"

#include "platform/host/server/JsonResponse.h"

#include <httplib.h>

namespace host {

nlohmann::json passagesJson(const FoundPassages& found)
{
    auto books = nlohmann::json::array();
    for (const PassageBook& book : found.books) {
        auto passages = nlohmann::json::array();
        for (const FoundPassage& passage : book.passages) {
            auto marks = nlohmann::json::array();
            for (auto [from, to] : passage.marks)
                marks.push_back({ from, to });
            passages.push_back({ { "document", passage.document }, { "offset", passage.offset },
                { "chapter", passage.chapter }, { "snippet", passage.snippet },
                { "marks", std::move(marks) } });
        }
        books.push_back({ { "file", book.file }, { "title", book.title }, { "author", book.author },
            { "passages", std::move(passages) }, { "more", book.more } });
    }
    return { { "books", std::move(books) },
        { "progress",
            { { "indexed", found.indexed }, { "total", found.total },
                { "indexing", found.indexing } } } };
}

void installPassageRoutes(httplib::Server& server, LibraryPassages passages)
{
    // Sent as a body, not in the address: words typed or pasted may be longer than an address
    // may be. Nothing changes.
    server.Post(
        "/passages", [passages](const httplib::Request& request, httplib::Response& response) {
            if (!sentAsJson(request, response, "the words to search for"))
                return;
            if (!passages) {
                sendJson(response, 404,
                    { { "error", "this library keeps no index of its books' text" } });
                return;
            }
            auto asked = nlohmann::json::parse(request.body, nullptr, false);
            if (!asked.is_object() || !asked.value("words", nlohmann::json()).is_string()
                || !asked.value("book", nlohmann::json("")).is_string()) {
                sendJson(response, 400, { { "error", "the words to search for are not text" } });
                return;
            }
            auto found
                = passages(asked["words"].get<std::string>(), asked.value("book", std::string()));
            if (!found) {
                sendJson(response, 400, { { "error", found.error().description() } });
                return;
            }
            sendJson(response, 200, passagesJson(*found));
        });
}

}
