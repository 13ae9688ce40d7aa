// Resetting the library's program-wide state.
#include "library/ProgramState.h"

#include "library/BookList.h"
#include "library/DocumentsFolder.h"
#include "library/SortOrder.h"

void resetProgramState()
{
    bookList().clear();
    sortOrder() = SortOrder::recentlyOpened;
    forgetDocumentsFolder();
}

std::uint64_t programStateCount()
{
    // The order's number in the top bits: a change of order alone moves the count too.
    return bookList().changeCount() ^ (static_cast<std::uint64_t>(sortOrder()) << 56);
}
