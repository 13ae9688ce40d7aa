// Program entry: the command line, then the application or one of its headless commands.
#include "app/ListCommand.h"

#include <CLI/CLI.hpp>
#include <map>

int main(int argc, char** argv)
{
    CLI::App app { "Pagewyn: a personal library of EPUB books.", "pagewyn" };
    app.require_subcommand(0, 1);
    std::optional<std::string> documents;
    app.add_option("--documents", documents, "The library folder (default: $XDG_DATA_HOME/pagewyn/Documents)")
        ->type_name("DIR");

    ListOptions listOptions;
    auto* list = app.add_subcommand("list", "Scan the library once and print its books: title, author and file, tab-separated (tabs, line breaks and backslashes inside a field are written \\t, \\n, \\\\)");
    list->add_option("--documents", listOptions.documents, "The library folder (default: $XDG_DATA_HOME/pagewyn/Documents)")
        ->type_name("DIR");
    const std::map<std::string, std::int64_t> orders { { "recent", 0 }, { "title", 1 }, { "author", 2 } };
    std::string orderName = "recent";
    list->add_option("--order", orderName, "The order to list in: recent (most recently opened first, the default), title or author")
        ->type_name("recent|title|author")
        ->check(CLI::IsMember({ "recent", "title", "author" }));
    list->add_flag("--json", listOptions.json, "Print a JSON array of {\"title\",\"author\",\"file\",\"added\"} with added in ISO 8601 UTC");

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& help) {
        return app.exit(help);
    } catch (const CLI::CallForAllHelp& help) {
        return app.exit(help);
    } catch (const CLI::ParseError& error) {
        app.exit(error);
        return 2;
    }

    listOptions.order = orders.at(orderName);
    if (!listOptions.documents)
        listOptions.documents = documents;
    // Until the browser host exists, starting Pagewyn shows its library as a listing.
    return runListCommand(listOptions);
}
