#include "app/GlyphwerkAppDelegate.h"

#include "common/Log.h"
#include "palette/CharacterSet.h"

#include <algorithm>
#include <utility>

namespace gw {

namespace {

constexpr const char* kFirstLaunchKey = "firstLaunch";
constexpr const char* kUserDirectoryKey = "userDirectory";
constexpr const char* kMatchShapeKey = "matchShape";
constexpr const char* kDitherKey = "dither";
constexpr const char* kInvertKey = "invert";
constexpr const char* kBrightnessKey = "brightness";
constexpr const char* kContrastKey = "contrast";
constexpr const char* kAutoContrastKey = "autoContrast";
// The tone sliders' range; a stored value outside it (an edited or older settings file) is
// taken as the nearest end.
constexpr long kToneLimit = 100;
constexpr const char* kTableFileName = "Table.txt";
constexpr const char* kStartFailureTitle = "Glyphwerk cannot start";
constexpr const char* kRefusedPictureTitle = "The picture cannot be opened";

} // namespace

GlyphwerkAppDelegate::GlyphwerkAppDelegate(const Services& services,
                                           platform::WindowCloseCenter& windows)
    : services_(services),
      closeObserver_(windows.addWillCloseObserver(
          [this](const platform::Notification& notification) { windowWillClose(notification); })) {}

void GlyphwerkAppDelegate::connectActions(std::initializer_list<platform::Control*> openCommands) {
    for (platform::Control* command : openCommands) {
        if (command != nullptr)
            command->setAction([this](platform::Control* sender) { loadImage(sender); });
    }
    for (platform::Button* button :
         {outlets.setLower, outlets.setUpper, outlets.setNumbers, outlets.setSymbols}) {
        if (button != nullptr)
            button->setAction([this](platform::Control* sender) { changeCharacterSet(sender); });
    }
    for (platform::Control* control : std::initializer_list<platform::Control*>{
             outlets.matchShape, outlets.dither, outlets.brightness, outlets.contrast,
             outlets.autoContrast, outlets.invert}) {
        if (control != nullptr)
            control->setAction([this](platform::Control* sender) { changeAdjustment(sender); });
    }
    if (outlets.sourceImage != nullptr) {
        outlets.sourceImage->setAction(
            [this](platform::Control* sender) { loadImageDragged(sender); });
        outlets.sourceImage->setDropRefusedHandler([this](const std::string& reason) {
            systemLog(reason);
            services_.alerts.showWarning(kRefusedPictureTitle, reason);
        });
    }
    connectPreviewActions();
}

bool GlyphwerkAppDelegate::applicationDidFinishLaunching() {
    if (!loadTable()) return false;
    // Without the grids every conversion would silently come out empty.
    if (!grid) {
        const std::string error = "not enough memory for the character grid (" +
                                  std::to_string(sizeof(CellGrid) >> 20) + " MB)";
        systemLog(error);
        services_.alerts.showWarning(kStartFailureTitle, error);
        return false;
    }

    fontName = "Monaco";

    outlets.setLower->setEnabled(false);
    outlets.setUpper->setEnabled(false);
    outlets.setNumbers->setEnabled(false);

    outlets.characterSet->setDelegate(this);
    // The other fields' edits only refresh the live preview.
    for (platform::TextField* field : {outlets.maxWidth, outlets.fontSize}) {
        if (field != nullptr) field->setDelegate(this);
    }
    if (outlets.matchShape != nullptr)
        outlets.matchShape->setState(services_.defaults.integerForKey(kMatchShapeKey) != 0);
    if (outlets.dither != nullptr)
        outlets.dither->setState(services_.defaults.integerForKey(kDitherKey) != 0);
    if (outlets.autoContrast != nullptr)
        outlets.autoContrast->setState(services_.defaults.integerForKey(kAutoContrastKey) != 0);
    if (outlets.invert != nullptr)
        outlets.invert->setState(services_.defaults.integerForKey(kInvertKey) != 0);
    for (const auto& [slider, key] : {std::pair{outlets.brightness, kBrightnessKey},
                                      std::pair{outlets.contrast, kContrastKey}}) {
        if (slider != nullptr)
            slider->setIntValue(static_cast<int>(
                std::clamp(services_.defaults.integerForKey(key), -kToneLimit, kToneLimit)));
    }

    // An existing folder, or one that cannot be made, changes nothing here; the preview reports
    // its own write failures.
    if (const auto folder = workFolder()) services_.folders.createFolder(*folder);

    if (services_.defaults.integerForKey(kFirstLaunchKey) == 0) {
        setUserDirectoryFromFilename(services_.folders.bundleFolder() + "/Samples/");
        services_.defaults.setInteger(1, kFirstLaunchKey);
    }

    outlets.preview = nullptr;
    path.reset();
    savePath.reset();

    startNotificationThread();
    return true;
}

// The table is the one resource without which no conversion can be right, so a missing,
// unreadable or short table stops the program instead of leaving zero entries behind.
bool GlyphwerkAppDelegate::loadTable() {
    const std::string bundle = services_.folders.bundleFolder();
    std::string error;
    if (bundle.empty()) {
        characters.fill(CharacterRecord{});
        characters[0] = CharacterRecord{32, ' ', 1.0f};
        error = std::string(kTableFileName) +
                ": not found (the resource folder is missing; set GLYPHWERK_RESOURCES to the "
                "folder that holds it)";
    } else {
        const TableLoadResult result =
            loadCharacterTableFile(bundle + "/" + kTableFileName, characters);
        if (result.ok) return true;
        error = result.error;
    }
    systemLog(error);
    services_.alerts.showWarning(kStartFailureTitle, error);
    return false;
}

void GlyphwerkAppDelegate::windowWillClose(const platform::Notification& notification) {
    if (outlets.preview == nullptr || notification.object != outlets.preview) return;
    dropLiveRefresh();
    outlets.preview = nullptr;
    outlets.previewText2 = nullptr; // it goes with its window
    outlets.menuClosePreview->setEnabled(false);
}

std::optional<std::string> GlyphwerkAppDelegate::workFolder() const {
    const std::vector<std::string> folders = services_.folders.applicationSupportDirectories();
    if (folders.empty()) return std::nullopt;
    return folders.front() + "/Glyphwerk/";
}

bool GlyphwerkAppDelegate::applicationOpenFile(const std::string& filename) {
    systemLog("A");
    return loadPicture(filename);
}

void GlyphwerkAppDelegate::loadImage(platform::Control* /*sender*/) {
    const std::optional<std::string> chosen =
        services_.panels.runOpenPanel(userDirectory(), services_.imageLoader.fileTypes());
    if (!chosen) return;
    loadPicture(*chosen);
}

void GlyphwerkAppDelegate::loadImageOpened(platform::Control* /*sender*/) {
    if (path) loadPicture(*path);
}

bool GlyphwerkAppDelegate::loadPicture(const std::string& file) {
    const std::uint64_t number = ++loadsStarted_;
    outlets.sourceImage->setBusy(true);
    services_.imageLoader.loadInBackground(file, [this, alive = std::weak_ptr<const bool>(alive_),
                                                  number, file](platform::ImageLoad loaded) {
        if (alive.expired() || number != loadsStarted_) return;
        finishLoad(file, std::move(loaded));
    });
    return true;
}

// `path` names the last file that loaded; a refused file leaves it, like everything else, as
// it was.
void GlyphwerkAppDelegate::finishLoad(const std::string& file, platform::ImageLoad loaded) {
    outlets.sourceImage->setBusy(false);
    if (loaded.overtaken) return; // by a drop begun after it, which brings its own picture
    if (!loaded.image) {
        const std::string reason = loaded.error.empty() ? file + ": not a picture" : loaded.error;
        systemLog(reason);
        services_.alerts.showWarning(kRefusedPictureTitle, reason);
        return;
    }
    path = file;
    takePicture(std::move(loaded.image));
    outlets.sourceImage->setImage(image);
    setUserDirectoryFromFilename(file);
}

void GlyphwerkAppDelegate::loadImageDragged(platform::Control* /*sender*/) {
    std::shared_ptr<const platform::Image> shown = outlets.sourceImage->image();
    if (!shown) return;
    // The drop is newer than any file still being opened: that one is dropped when it ends.
    ++loadsStarted_;
    outlets.sourceImage->setBusy(false);
    takePicture(std::move(shown));
}

void GlyphwerkAppDelegate::takePicture(std::shared_ptr<const platform::Image> picture) {
    image = std::move(picture);
    pictureCache_.reset(); // the last picture's pixels go with it
    outlets.buttonPreview->setEnabled(true);
    outlets.buttonExport->setEnabled(true);
    settingChanged();
}

std::optional<std::string> GlyphwerkAppDelegate::userDirectory() const {
    return services_.defaults.stringForKey(kUserDirectoryKey);
}

void GlyphwerkAppDelegate::setUserDirectoryFromFilename(const std::string& filename) {
    services_.defaults.setString(filename, kUserDirectoryKey);
}

void GlyphwerkAppDelegate::changeCharacterSet(platform::Control* sender) {
    std::string_view group;
    if (sender == outlets.setLower)
        group = groupString(CharacterGroup::Lower);
    else if (sender == outlets.setUpper)
        group = groupString(CharacterGroup::Upper);
    else if (sender == outlets.setNumbers)
        group = groupString(CharacterGroup::Numbers);
    else if (sender == outlets.setSymbols)
        group = groupString(CharacterGroup::Symbols);
    const std::string text = outlets.characterSet->stringValue();
    const std::string extended = addMissingCharacters(text, group);
    if (extended != text) outlets.characterSet->setStringValue(extended);
    if (sender != nullptr) sender->setEnabled(false);
    settingChanged();
}

void GlyphwerkAppDelegate::changeAdjustment(platform::Control* sender) {
    settingChanged();
    if (sender == nullptr) return;
    const std::pair<platform::Control*, const char*> keys[] = {
        {outlets.matchShape, kMatchShapeKey},     {outlets.dither, kDitherKey},
        {outlets.autoContrast, kAutoContrastKey}, {outlets.invert, kInvertKey},
        {outlets.brightness, kBrightnessKey},     {outlets.contrast, kContrastKey}};
    const auto key = std::find_if(std::begin(keys), std::end(keys),
                                  [sender](const auto& entry) { return entry.first == sender; });
    if (key == std::end(keys)) return;
    if (const auto* box = dynamic_cast<const platform::CheckBox*>(sender))
        services_.defaults.setInteger(box->state() ? 1 : 0, key->second);
    else if (const auto* slider = dynamic_cast<const platform::Slider*>(sender))
        services_.defaults.setInteger(slider->intValue(), key->second);
}

void GlyphwerkAppDelegate::controlTextDidChange(const platform::Notification& notification) {
    settingChanged();
    if (notification.object != nullptr &&
        (notification.object == outlets.maxWidth || notification.object == outlets.fontSize))
        return;
    const std::string text = outlets.characterSet->stringValue();
    const std::array<std::pair<platform::Button*, CharacterGroup>, 4> groups = {{
        {outlets.setLower, CharacterGroup::Lower},
        {outlets.setUpper, CharacterGroup::Upper},
        {outlets.setNumbers, CharacterGroup::Numbers},
        {outlets.setSymbols, CharacterGroup::Symbols},
    }};
    for (const auto& [button, group] : groups)
        button->setEnabled(!holdsWholeGroup(text, groupString(group)));
}

} // namespace gw
