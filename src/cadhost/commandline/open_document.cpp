// Opening a drawing: read, index, summarise.
#include "cadhost/commandline/open_document.h"

#include "common/ui_text.h"

#include <utility>

namespace vexilo::cadhost {

std::unique_ptr<OpenDocument> makeDocument(Drawing drawing, std::string path) {
    auto document = std::make_unique<OpenDocument>();
    document->path = std::move(path);
    document->drawing = std::make_unique<Drawing>(std::move(drawing));
    document->index = std::make_unique<SpatialIndex>(*document->drawing);
    return document;
}

Expected<std::unique_ptr<OpenDocument>, dxf::DxfFailure> openDocument(const std::string& path) {
    dxf::ReadResult read = dxf::readDxfFile(path);
    if (!read) {
        return unexpected(read.error());
    }
    auto document = makeDocument(std::move(read->drawing), path);
    document->report = std::move(read->report);
    return document;
}

std::string fileNameOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string loadSummary(const OpenDocument& document) {
    std::string text =
        fillText(uiText("OpenDocument", "Opened %1: %2 entities, %3 skipped."),
                 {fileNameOf(document.path), std::to_string(document.drawing->entities().size()),
                  std::to_string(document.report.skippedCount())});
    const std::string details = document.report.summary();
    if (!details.empty()) {
        text += "\n" + details;
    }
    if (!text.empty() && text.back() == '\n') {
        text.pop_back();
    }
    return text;
}

} // namespace vexilo::cadhost
