#include "profileactions.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QPushButton>

#include "profile.h"
#include "serial/notifier.h"
#include "widgetform.h"

namespace tarvelin {

namespace {
const QString kFilter = QStringLiteral("Tarvelin profiles (*.json);;All files (*)");
}

namespace {
// This window's map where the block is this window's, nothing for the other.
const MemoryMap* mapFor(Block wanted, Block block, const MemoryMap& map) { return wanted == block ? &map : nullptr; }
}  // namespace

void saveProfileFromWindow(QWidget* window, const Form& form, Block block, const MemoryMap& map) {
    QString path = Notifier::current().chooseFileToSave(window, QStringLiteral("Save Profile"), kFilter);
    if (path.isEmpty()) return;
    if (QFileInfo(path).suffix().isEmpty()) path += QStringLiteral(".json");

    Profile profile;
    if (QFileInfo::exists(path)) {
        // Keep what the other window saved there, if the file is a good profile.
        QString ignored;
        if (auto existing = readProfile(path, mapFor(Block::Basic, block, map), mapFor(Block::Advanced, block, map),
                                        &ignored))
            profile = *existing;
    }
    (block == Block::Basic ? profile.basic : profile.advanced) = blockToJson(form, map);
    QString error;
    if (!writeProfile(path, profile, &error))
        Notifier::current().message(window, QString::fromLatin1(kProgramTitle), error, Notifier::Icon::Critical);
}

bool loadProfileIntoWindow(QWidget* window, Form& form, Block block, const MemoryMap& map) {
    const QString path = Notifier::current().chooseFileToOpen(window, QStringLiteral("Load Profile"), kFilter);
    if (path.isEmpty()) return false;
    QString error;
    const auto profile =
        readProfile(path, mapFor(Block::Basic, block, map), mapFor(Block::Advanced, block, map), &error);
    const auto& values = profile ? (block == Block::Basic ? profile->basic : profile->advanced) : std::nullopt;
    if (profile && !values)
        error = QStringLiteral("Profile %1 holds no %2 settings.")
                    .arg(QFileInfo(path).fileName(), block == Block::Basic ? QStringLiteral("basic")
                                                                           : QStringLiteral("advanced"));
    if (!values) {
        Notifier::current().message(window, QString::fromLatin1(kProgramTitle), error, Notifier::Icon::Warning);
        return false;
    }
    applyBlock(*values, form, map);
    return true;
}

QBoxLayout* makeProfileRow(QWidget* window, WidgetForm& form, Block block, const MemoryMap& map) {
    auto* row = new QHBoxLayout;
    auto* load = new QPushButton(QStringLiteral("Load Profile..."), window);
    auto* save = new QPushButton(QStringLiteral("Save Profile..."), window);
    auto* verify = new QCheckBox(QStringLiteral("Verify after save"), window);
    form.add(QStringLiteral("LoadProfile"), load);
    form.add(QStringLiteral("SaveProfile"), save);
    form.add(QStringLiteral("VerifyAfterSave"), verify);
    load->setToolTip(QStringLiteral("Fill this window from a settings profile"));
    save->setToolTip(QStringLiteral("Keep this window's settings in a profile file"));
    verify->setToolTip(QStringLiteral("Read every byte back after a save and compare"));
    row->addWidget(load);
    row->addWidget(save);
    row->addStretch(1);
    row->addWidget(verify);
    QObject::connect(load, &QPushButton::clicked, window,
                     [=, &form, &map] { loadProfileIntoWindow(window, form, block, map); });
    QObject::connect(save, &QPushButton::clicked, window,
                     [=, &form, &map] { saveProfileFromWindow(window, form, block, map); });
    return row;
}

}  // namespace tarvelin
