// Opening a drawing: read, index, summarise.
#include "cadhost/commandline/open_document.h"

#include "common/ui_text.h"

#include <chrono>
#include <utility>

namespace vexilo::cadhost {

void PendingIndex::attach(const Drawing& drawing) {
    const std::lock_guard lock(m_mutex);
    m_drawing = &drawing;
}

void PendingIndex::start() {
    const std::lock_guard lock(m_mutex);
    if (m_drawing != nullptr && m_index == nullptr && !m_build.valid()) {
        m_build = std::async(std::launch::async, [drawing = m_drawing] {
            return std::make_unique<SpatialIndex>(*drawing);
        });
    }
}

PendingIndex::~PendingIndex() {
    if (m_build.valid()) {
        m_build.wait();
    }
}

bool PendingIndex::ready() const {
    const std::lock_guard lock(m_mutex);
    return m_index != nullptr || (m_build.valid() && m_build.wait_for(std::chrono::seconds(0)) ==
                                                         std::future_status::ready);
}

const SpatialIndex& PendingIndex::get() const {
    const std::lock_guard lock(m_mutex);
    if (m_index == nullptr) {
        m_index = m_build.valid() ? m_build.get() : std::make_unique<SpatialIndex>(*m_drawing);
    }
    return *m_index;
}

std::unique_ptr<OpenDocument> makeDocument(Drawing drawing, std::string path) {
    auto document = std::make_unique<OpenDocument>();
    document->path = std::move(path);
    document->drawing = std::make_unique<Drawing>(std::move(drawing));
    document->index.attach(*document->drawing);
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
    std::string details = document.report.summary();
    if (const std::size_t outOfRange = document.index->outOfRange(); outOfRange > 0) {
        details += fillText(uiText("OpenDocument", "not shown %1: coordinates beyond ±1e20"),
                            {std::to_string(outOfRange)}) +
                   "\n";
    }
    if (!details.empty()) {
        text += "\n" + details;
    }
    if (!text.empty() && text.back() == '\n') {
        text.pop_back();
    }
    return text;
}

} // namespace vexilo::cadhost
