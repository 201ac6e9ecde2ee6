// Writes the sources of the resource bundle into one folder: the string
// table (strings.txt, "number<TAB>text" lines), one PNG per skin picture
// (skin/<number>.png) and the Qt resource collection kalixres.qrc that
// lists them. rcc turns that folder into kalixres.rcc.

#include <filesystem>
#include <fstream>
#include <utility>
#include <iostream>
#include <string>

#include "app/string_table.h"
#include "skin_painter.h"
#include "ui/skin/skin_catalogue.h"

namespace fs = std::filesystem;

namespace {

// Rewrites a file only when its bytes change, so that rcc and everything
// after it stay up to date when the generator runs again with the same output.
void writeIfChanged(const fs::path& path, const std::string& bytes) {
    {
        std::ifstream in(path, std::ios::binary);
        if (in) {
            const std::string old((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            if (old == bytes) return;
        }
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: kalix_make_bundle OUTPUT_FOLDER\n";
        return 2;
    }
    try {
        const fs::path dir = argv[1];
        fs::create_directories(dir / "skin");

        std::string strings;
        for (const auto& entry : kalix::app::stringTable()) {
            if (entry.text.find_first_of("\t\r\n") != std::string_view::npos)
                throw std::runtime_error("string " + std::to_string(entry.id) + " holds a tab or line break");
            strings += std::to_string(entry.id) + '\t' + std::string(entry.text) + '\n';
        }
        writeIfChanged(dir / "strings.txt", strings);

        std::string qrc = "<!DOCTYPE RCC>\n<RCC version=\"1.0\">\n<qresource prefix=\"/kalixres\">\n";
        qrc += "  <file>strings.txt</file>\n";
        for (const auto& picture : kalix::ui::skinCatalogue()) {
            const std::string name = "skin/" + std::to_string(picture.id) + ".png";
            const auto png = kalix::res::encodePng(kalix::res::paintSkinPicture(picture));
            writeIfChanged(dir / name, std::string(png.begin(), png.end()));
            qrc += "  <file>" + name + "</file>\n";
        }
        qrc += "</qresource>\n</RCC>\n";

        using kalix::res::ClientPicture;
        for (const auto& [kind, name] : {std::pair{ClientPicture::Logo, "ComMark.bmp"},
                                         std::pair{ClientPicture::VideoLoss, "VdoLoss.bmp"}}) {
            const auto bmp = kalix::res::encodeBmp(kalix::res::paintClientPicture(kind));
            writeIfChanged(dir / name, std::string(bmp.begin(), bmp.end()));
        }
        // Always rewritten: it is the build rule's output and must look newer than the tool.
        std::ofstream(dir / "kalixres.qrc", std::ios::binary | std::ios::trunc) << qrc;
    } catch (const std::exception& e) {
        std::cerr << "kalix_make_bundle: " << e.what() << '\n';
        return 1;
    }
    return 0;
}
