#include "printentries.h"

#include "browsermodel.h"
#include "picturerecord.h"

namespace printentries {

FolderPictures::FolderPictures() = default;
FolderPictures::~FolderPictures() = default;
FolderPictures::FolderPictures(FolderPictures&&) noexcept = default;
FolderPictures& FolderPictures::operator=(FolderPictures&&) noexcept = default;

namespace {

void collect(const std::vector<browser::TreeNode>& nodes, const QString& event, QList<Entry>& out) {
    for (const browser::TreeNode& node : nodes) {
        const BrowserEntry* entry = node.entry;
        if (entry && entry->kind == EntryKind::Picture && entry->picture) {
            out.append({entry->picture.get(), event.isEmpty() ? browser::eventText(*entry->picture) : event});
        }
        const QString childEvent = entry && entry->kind == EntryKind::Event ? entry->text : event;
        collect(node.children, childEvent, out);
    }
}

}  // namespace

FolderPictures folderPictures(const QString& folder) {
    FolderPictures result;
    result.model = std::make_unique<BrowserModel>(browser::BrowserEnvironment{});
    browser::EntryListBuild build = BrowserModel::buildEntryList(folder, browser::BrowserEnvironment{});
    for (const QString& file : build.zeroByteFiles) result.problems << QStringLiteral("%1 is an empty file").arg(file);
    result.model->adopt(std::move(build), nullptr);
    const browser::BrowserTree tree = result.model->buildTree({});
    collect(tree.topLevel, {}, result.pictures);
    return result;
}

}  // namespace printentries
