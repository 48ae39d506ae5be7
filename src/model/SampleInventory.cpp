#include "model/SampleInventory.h"

namespace kestrova {
namespace {

Plugin sample(std::string name, std::string manufacturer, std::string version, std::vector<std::string> formats,
              std::string architecture, std::string size, std::string path, PluginStatus status, bool isProtected) {
    Plugin product;
    product.id = Uuid::random();
    product.name = std::move(name);
    product.manufacturer = std::move(manufacturer);
    product.version = std::move(version);
    product.formats = std::move(formats);
    product.architecture = std::move(architecture);
    product.size = std::move(size);
    product.path = std::move(path);
    product.status = status;
    product.isProtected = isProtected;
    return product;
}

}  // namespace

std::vector<Plugin> sampleInventory() {
    // Formats are listed as a person would name them, not sorted.
    return {
        sample("FabFilter Pro-Q 3", "FabFilter", "3.28", {"AU", "VST3", "AAX"}, "Universal", "39.8 MB",
               "/Library/Audio/Plug-Ins/VST3/FabFilter Pro-Q 3.vst3", PluginStatus::protected_, true),
        sample("Waves SSL EV2", "Waves", "11.0.0", {"AU", "VST3"}, "Universal", "51.2 MB",
               "/Library/Audio/Plug-Ins/Components/SSL EV2.component", PluginStatus::ok, false),
        sample("UAD API Vision", "Universal Audio", "1.0.2", {"AU", "VST3", "AAX"}, "Apple Silicon", "78.1 MB",
               "/Library/Audio/Plug-Ins/VST3/API Vision.vst3", PluginStatus::ok, false),
        sample("Native Instruments Kontakt 8", "Native Instruments", "8.1.0", {"AU", "VST3", "AAX"}, "Universal",
               "653.9 MB", "/Library/Audio/Plug-Ins/VST3/Kontakt 8.vst3", PluginStatus::protected_, true),
        sample("Cradle The God Particle", "Cradle", "1.2.1", {"AU", "VST3"}, "Intel", "12.7 MB",
               "/Library/Audio/Plug-Ins/VST3/Cradle The God Particle.vst3", PluginStatus::legacy, false),
        sample("Soundtoys Decapitator", "Soundtoys", "5.3.0", {"AU", "VST3", "AAX"}, "Universal", "22.1 MB",
               "/Library/Audio/Plug-Ins/Components/Decapitator.component", PluginStatus::ok, false),
        sample("iZotope Ozone 11", "iZotope", "11.0.0", {"AU", "VST3", "AAX"}, "Apple Silicon", "292.4 MB",
               "/Library/Audio/Plug-Ins/VST3/Ozone 11.vst3", PluginStatus::ok, false),
        sample("ValhallaVintageVerb", "Valhalla DSP", "2.2.0", {"AU", "VST3"}, "Universal", "5.4 MB",
               "/Library/Audio/Plug-Ins/VST3/ValhallaVintageVerb.vst3", PluginStatus::ok, false),
    };
}

}  // namespace kestrova
