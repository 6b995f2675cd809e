#include "profileactions.h"

#include <QCheckBox>
#include <QDir>
#include <QHBoxLayout>
#include <QPushButton>

#include "base/safefile.h"
#include "config/profile.h"
#include "serial/ui/notifier.h"
#include "widgetform.h"

namespace tarvelin {

namespace {
const QString kFilter = QStringLiteral("Tarvelin profiles (*.json);;All files (*)");
}

namespace {
// This window's map where the block is this window's, nothing for the other.
const MemoryMap* mapFor(Block wanted, Block block, const MemoryMap& map) {
    return wanted == block ? &map : nullptr;
}
QString blockName(Block block) {
    return block == Block::Basic ? QStringLiteral("basic") : QStringLiteral("advanced");
}
}  // namespace

void saveProfileFromWindow(Notifier& notifier, QWidget* window, const Form& form, Block block,
                           const MemoryMap& map) {
    const QString path =
        notifier.chooseFileToSave(window, QStringLiteral("Save Profile"), kFilter, QStringLiteral("json"));
    if (path.isEmpty()) return;
    // Everything an existing file holds besides this window's block stays:
    // the other window's block and the controller's details, even when this
    // window's old block would not load. A file that holds no JSON object is
    // replaced, as the user agreed in the dialog.
    const QJsonObject existing = readProfileLoosely(path).value_or(QJsonObject());
    const auto written =
        writeFileAtomically(path, profileTextWith(existing, blockName(block), blockToJson(form, map)));
    if (!written)
        notifier.message(window, QString::fromLatin1(kProgramTitle),
                         QStringLiteral("Cannot write %1: %2")
                             .arg(QDir::toNativeSeparators(path), written.failure().message),
                         Notifier::Icon::Critical);
}

bool loadProfileIntoWindow(Notifier& notifier, QWidget* window, Form& form, Block block,
                           const MemoryMap& map) {
    const QString path = notifier.chooseFileToOpen(window, QStringLiteral("Load Profile"), kFilter);
    if (path.isEmpty()) return false;
    const auto profile =
        readProfile(path, mapFor(Block::Basic, block, map), mapFor(Block::Advanced, block, map));
    const auto& values =
        profile ? (block == Block::Basic ? profile->basic : profile->advanced) : std::nullopt;
    if (!values) {
        const QString why = profile ? QStringLiteral("Profile %1 holds no %2 settings.")
                                          .arg(QDir::toNativeSeparators(path), blockName(block))
                                    : profile.failure().message;
        notifier.message(window, QString::fromLatin1(kProgramTitle), why, Notifier::Icon::Warning);
        return false;
    }
    applyBlock(*values, form, map);
    return true;
}

QBoxLayout* makeProfileRow(Notifier& notifier, QWidget* window, WidgetForm& form, Block block,
                           const MemoryMap& map, std::function<void()> loaded) {
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
    QObject::connect(load, &QPushButton::clicked, window, [=, &notifier, &form, &map] {
        if (loadProfileIntoWindow(notifier, window, form, block, map) && loaded) loaded();
    });
    QObject::connect(save, &QPushButton::clicked, window, [=, &notifier, &form, &map] {
        saveProfileFromWindow(notifier, window, form, block, map);
    });
    return row;
}

}  // namespace tarvelin
