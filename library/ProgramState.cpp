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
