// FolioReader::presentReader: a session for the book, and the reader screen shown over the
// screen that asked; which book it shows, and its close.
#include "frameworks/folioreader/FolioReader.h"

#include "frameworks/folioreader/reader/ReaderViewController.h"

namespace folioreader {

void FolioReader::presentReader(ui::ViewController& parentViewController,
    const std::string& withEpubPath, const std::optional<std::string>& unzipPath,
    std::shared_ptr<FolioReaderConfig> andConfig, bool shouldRemoveEpub, bool animated)
{
    auto session = folioreader::ReaderSession::open(withEpubPath, unzipPath, shouldRemoveEpub);
    auto reader = std::make_shared<ReaderViewController>(std::move(andConfig), std::move(session));
    parentViewController.presentViewController(reader, animated);
    // A reader that could not be presented (the parent shows something already) ends at once.
    if (reader->presentingViewController())
        m_reader = reader;
}

bool FolioReader::isReading(const std::string& epubPath) const
{
    auto reader = m_reader.lock();
    return reader && reader->session().bookPath() == epubPath;
}

void FolioReader::closeReader()
{
    if (auto reader = m_reader.lock())
        reader->close();
}

}
