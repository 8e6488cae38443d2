#include "shots_files.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QVariantAnimation>
#include <QWidget>
#include <cstdio>

#include "engine/host_layout.h"
#include "model/app_state.h"
#include "model/clean_queue.h"
#include "model/duplicates_model.h"
#include "model/removal_road.h"
#include "shot_capture.h"
#include "theme/animated_value.h"
#include "theme/motion.h"
#include "theme/shrinking_scroll.h"
#include "views/files/files_view.h"
#include "views/files/review_sheet.h"
#include "views/kit/lazy_rows.h"
#include "views/kit/modal_host.h"
#include "views/kit/shelf.h"
#include "views/kit/shelf_lists.h"

namespace nimbrel {

namespace {

CleanItem item(const std::string& path, int64_t size, CleanItem::Kind kind, CleanItem::Source source) {
    CleanItem i;
    i.id = path;
    i.name = path.substr(path.find_last_of('/') + 1);
    i.size = size;
    i.kind = kind;
    i.symbolPath = path;
    i.source = source;
    return i;
}

}  // namespace

int shootFiles(const QString& outDir, AppState& state, QWidget& window) {
    int failures = 0;
    const auto save = [&](const char* name) {
        if (!saveShot(window, outDir, QString::fromLatin1(name))) ++failures;
    };
    const std::string home = HostLayout::current().home;
    using K = CleanItem::Kind;
    using S = CleanItem::Source;

    state.setSection(SidebarItem::largest);
    save("files-biggest");
    state.setSection(SidebarItem::old);
    save("files-forgotten");
    state.setSection(SidebarItem::duplicates);
    save("files-twins");

    // Sets of identical files need real contents: a few copies in a temporary folder.
    QTemporaryDir twins;
    std::vector<FileItem> files;
    const auto copies = [&](const QString& name, int count, int megabytes, char fill) {
        const QByteArray bytes(megabytes * 1'000'000, fill);
        for (int i = 0; i < count; ++i) {
            const QString folder = twins.filePath(QStringLiteral("copy %1").arg(i));
            QDir().mkpath(folder);
            QFile out(folder + QLatin1Char('/') + name);
            if (!out.open(QIODevice::WriteOnly)) continue;
            out.write(bytes);
            out.close();
            FileItem f;
            f.id = 900'000 + static_cast<int64_t>(files.size());
            f.path = out.fileName().toStdString();
            f.name = name.toStdString();
            f.size = f.logicalSize = bytes.size();
            f.modified = std::chrono::system_clock::now() - std::chrono::hours(24 * (i + 1) * 20);
            files.push_back(f);
        }
    };
    copies(QStringLiteral("Keynote Export.mov"), 3, 14, 'a');
    copies(QStringLiteral("dataset-2024.csv"), 2, 12, 'b');
    state.duplicates().run(files, 10'000'000);
    QElapsedTimer waited;
    waited.start();
    while (state.duplicates().isRunning() && waited.elapsed() < 20'000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    state.setSection(SidebarItem::largest);
    state.setSection(SidebarItem::duplicates);
    save("files-twins-results");
    // A moment into a removal that took one copy of each set: the set left with one copy folds away,
    // the other closes over the copy that went.
    if (auto* shelves = window.findChild<TwinShelves*>(); shelves && files.size() == 5) {
        ReduceMotion::setOverride(false);
        AnimatedValue::setAllInstant(false);
        const std::unordered_set<std::string> gone{files[1].path, files[4].path};
        state.setVanishingPaths(gone);
        state.duplicates().remove(gone);
        state.setVanishingPaths({});
        for (auto* fold : shelves->findChildren<QVariantAnimation*>()) {
            fold->pause();
            fold->setCurrentTime(110);
        }
        for (auto* rows : shelves->findChildren<LazyRows*>()) {
            rows->closing().animation().pause();
            rows->closing().animation().setCurrentTime(110);
        }
        settleForShot();
        save("files-twins-folding");
        for (auto* fold : shelves->findChildren<QVariantAnimation*>())
            fold->setCurrentTime(fold->duration());
        for (auto* rows : shelves->findChildren<LazyRows*>())
            rows->closing().animation().setCurrentTime(GapClose::motion().ms);
        AnimatedValue::setAllInstant(true);
        ReduceMotion::setOverride(true);
        settleForShot();
        save("files-twins-after-removal");
    }
    state.setSection(SidebarItem::largest);

    CleanItem caches;
    caches.id = "junk:caches";
    caches.name = "App caches";
    caches.size = 3'200'000'000;
    caches.kind = K::junk;
    caches.heat = 1.0;
    caches.source = S::deepClean;
    state.queue().setItems({item(home + "/Movies/Holiday 2019.mov", 8'400'000'000, K::file, S::files),
                            item(home + "/VMs/Windows 11.vdi", 64'000'000'000, K::file, S::space),
                            item(home + "/Work/server.pem", 4'000, K::file, S::files),
                            item(home + "/Work/backup.pem", 4'000, K::file, S::files),
                            item(home + "/Music/Demo.band", 1'200'000'000, K::folder, S::space),
                            item(home, 90'000'000'000, K::folder, S::space),
                            item(home + "/Downloads/installer.dmg", 2'100'000'000, K::file, S::files),
                            caches});
    // Two rows of the sample data selected, so the shelf shows its selected look under the bar.
    if (const auto result = state.result(); result && result->files().size() > 3) {
        state.queue().add(CleanItem::file(result->files()[2], CleanItem::Source::files));
        state.queue().add(CleanItem::file(result->files()[3], CleanItem::Source::files));
    }
    save("files-selection-bar");
    state.nimbrelise();
    save("review-danger");
    if (auto* host = window.findChild<ModalHost*>()) {
        if (auto* sheet = qobject_cast<ReviewSheet*>(host->card())) {
            sheet->setSourceTicked(CleanItem::Source::space, false);
            sheet->setSourceTicked(CleanItem::Source::files, false);
            sheet->toggleExpanded("junk:caches");
            settleForShot();
            if (auto* list = sheet->findChild<ShrinkingScroll*>())
                list->verticalScrollBar()->setValue(list->verticalScrollBar()->maximum());
            save("review-junk-contents");
        }
    }
    state.setIsReviewing(false);

    std::vector<DeletionFailure> failed;
    failed.push_back({home, DeletionFailure::Reason::safetyGuard, "Your home folder"});
    for (int i = 0; i < 3; ++i)
        failed.push_back({home + "/Shared/report-" + std::to_string(i) + ".pdf",
                          DeletionFailure::Reason::noPermission, "Permission denied"});
    failed.push_back(
        {home + "/.local/share/app/<b>db.sqlite", DeletionFailure::Reason::inUse, "Device or resource busy"});
    failed.push_back({"/mnt/usb/video.mkv", DeletionFailure::Reason::other, "Input/output error"});
    // A long message is cut at its end: it reads from its start.
    failed.push_back(
        {home + "/Projects/site/node_modules", DeletionFailure::Reason::other,
         "Couldn't read the folder's contents (it was removed or changed while it was being emptied)"});
    state.setDeletionFailures(failed);
    save("failure-sheet");
    if (auto* host = window.findChild<ModalHost*>(); host && host->card()) {
        if (auto* list = host->card()->findChild<ShrinkingScroll*>()) {
            list->verticalScrollBar()->setValue(list->verticalScrollBar()->maximum());
            save("failure-sheet-end");
        }
    }
    // The group list grows with what it holds: one failure, one group of three, thirty in two groups.
    for (int n : {1, 3, 30}) {
        std::vector<DeletionFailure> some;
        for (int i = 0; i < n; ++i)
            some.push_back({home + "/Shared/report-" + std::to_string(i) + ".pdf",
                            i < 20 ? DeletionFailure::Reason::noPermission : DeletionFailure::Reason::inUse,
                            "Permission denied"});
        state.setDeletionFailures(std::nullopt);
        state.setDeletionFailures(some);
        save(QStringLiteral("failure-sheet-%1").arg(n).toLatin1().constData());
    }
    state.setDeletionFailures(std::nullopt);
    state.queue().setItems({});
    settleForShot();

    // Biggest a moment into closing over two rows a removal took (the last picture: it prunes the
    // sample result).
    state.setSection(SidebarItem::largest);
    settleForShot();
    if (auto* shelves = window.findChild<BiggestShelves*>(); shelves && shelves->matchCount() > 4) {
        const std::string second = shelves->match(1).path, third = shelves->match(2).path;
        LazyRows* rows = shelves->shelfCard()->rows();
        ReduceMotion::setOverride(false);
        AnimatedValue::setAllInstant(false);
        state.removal().prune({second, third});
        rows->closing().animation().pause();
        rows->closing().animation().setCurrentTime(110);
        settleForShot();
        save("files-biggest-closing");
        rows->closing().animation().setCurrentTime(GapClose::motion().ms);
        AnimatedValue::setAllInstant(true);
        ReduceMotion::setOverride(true);
        settleForShot();
    }
    return failures;
}

}  // namespace nimbrel
