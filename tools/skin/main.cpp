// tessarin-skin: the build-time tool that turns the SVG sources in data/skin into the program's
// pictures, and composes the contact sheets of `make preview`.
//
//   tessarin-skin render TEMPLATE OUT --size WxH [--texts FILE] [--images DIR] [--rsvg PATH]
//                 [--format png|png-alpha|jpeg] [--quality Q] [--scratch PATH]
//                 [--key-base NAME X Y | --key-alpha RRGGBB] [--var NAME=VALUE]... [--scale]
//   tessarin-skin sheet LAYOUT OUT [--texts FILE]
//
// render: fills the template's texts from the language source, inlines the pictures it draws
// over, has rsvg-convert draw it (scaled to --size with --scale), checks the size, then writes an opaque PNG, a PNG with alpha,
// a colour-keyed PNG (key black) or a JPEG.

#include <sys/stat.h>
#include <unistd.h>

#include <QGuiApplication>
#include <QImage>
#include <QProcess>
#include <QStringList>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "color_key.h"
#include "contact_sheet.h"
#include "jpeg_writer.h"
#include "qt_text_measurer.h"
#include "svg_prepare.h"

namespace {

struct Args {
    std::vector<std::string> positional;
    std::map<std::string, std::vector<std::string>> options;
    std::vector<std::string> vars;  // every --var, in order
};

// Options take the given number of values.
Args parseArgs(int argc, char** argv, const std::map<std::string, int>& arity) {
    Args args;
    for (int i = 2; i < argc; ++i) {
        const std::string a = argv[i];
        if (a.rfind("--", 0) == 0) {
            const auto it = arity.find(a);
            if (it == arity.end()) throw std::runtime_error("unknown option " + a);
            std::vector<std::string> values;
            for (int k = 0; k < it->second; ++k) {
                if (++i >= argc) throw std::runtime_error("option " + a + " needs a value");
                values.push_back(argv[i]);
            }
            if (a == "--var") args.vars.push_back(values.front());
            args.options[a] = values;
        } else {
            args.positional.push_back(a);
        }
    }
    return args;
}

std::string option(const Args& args, const std::string& name, const std::string& fallback = {}) {
    const auto it = args.options.find(name);
    return it == args.options.end() ? fallback : it->second.front();
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out || !out.write(bytes.data(), static_cast<std::streamsize>(bytes.size())))
        throw std::runtime_error("cannot write " + path);
}

QImage loadImage(const std::string& path) {
    QImage image;
    if (!image.load(QString::fromStdString(path))) throw std::runtime_error("cannot read " + path);
    return image;
}

void saveImage(const QImage& image, const std::string& path) {
    if (!image.save(QString::fromStdString(path), "PNG"))
        throw std::runtime_error("cannot write " + path);
}

int render(int argc, char** argv) {
    const Args args = parseArgs(argc, argv,
                                {{"--size", 1},
                                 {"--texts", 1},
                                 {"--images", 1},
                                 {"--rsvg", 1},
                                 {"--format", 1},
                                 {"--quality", 1},
                                 {"--key-base", 3},
                                 {"--key-alpha", 1},
                                 {"--var", 1},
                                 {"--scratch", 1},
                                 {"--scale", 0}});
    if (args.positional.size() != 2) throw std::runtime_error("render TEMPLATE OUT ...");
    const std::string templatePath = args.positional[0], outPath = args.positional[1];
    int width = 0, height = 0;
    if (std::sscanf(option(args, "--size").c_str(), "%dx%d", &width, &height) != 2)
        throw std::runtime_error("render needs --size WxH");

    std::optional<SkinTexts> texts;
    if (args.options.count("--texts")) texts = SkinTexts::load(option(args, "--texts"));
    QtTextMeasurer measurer;
    PrepareOptions prep;
    prep.texts = texts ? &*texts : nullptr;
    prep.imageDir = option(args, "--images", ".");
    prep.measurer = &measurer;
    for (const std::string& v : args.vars) {
        const auto eq = v.find('=');
        if (eq == std::string::npos) throw std::runtime_error("--var needs NAME=VALUE: " + v);
        prep.vars[v.substr(0, eq)] = v.substr(eq + 1);
    }
    // The prepared SVG is kept beside the output, or in the scratch file named, for inspection.
    const std::string scratch = option(args, "--scratch", outPath);
    const std::string svgPath = scratch + ".svg", rawPath = scratch + ".raw.png";
    writeFile(svgPath, prepareSvg(readFile(templatePath), prep));

    QProcess rsvg;
    rsvg.setProcessChannelMode(QProcess::ForwardedChannels);
    QStringList rsvgArgs = {"-f", "png", "-o", QString::fromStdString(rawPath)};
    // A drawing made at one size and wanted at others (the icon) is scaled to --size.
    if (args.options.count("--scale"))
        rsvgArgs << "-w" << QString::number(width) << "-h" << QString::number(height);
    rsvg.start(QString::fromStdString(option(args, "--rsvg", "rsvg-convert")),
               rsvgArgs << QString::fromStdString(svgPath));
    if (!rsvg.waitForFinished(120000) || rsvg.exitStatus() != QProcess::NormalExit ||
        rsvg.exitCode() != 0)
        throw std::runtime_error("rsvg-convert failed on " + svgPath);

    QImage picture = loadImage(rawPath);
    if (picture.width() != width || picture.height() != height)
        throw std::runtime_error(templatePath + " renders " + std::to_string(picture.width()) +
                                 "x" + std::to_string(picture.height()) + ", expected " +
                                 std::to_string(width) + "x" + std::to_string(height));

    const QColor key(0, 0, 0);
    if (args.options.count("--key-base")) {
        const auto& v = args.options.at("--key-base");
        const QImage base = loadImage(prep.imageDir + "/" + v[0] + ".png");
        picture = keyAgainstBase(picture, base, QPoint(std::stoi(v[1]), std::stoi(v[2])), key);
    } else if (args.options.count("--key-alpha")) {
        picture = keyByAlpha(
            picture, QColor(QString::fromStdString("#" + option(args, "--key-alpha"))), key);
    }

    const std::string format = option(args, "--format", "png");
    if (format == "jpeg") {
        writeFile(outPath, encodeJpeg(flatten(picture, Qt::black),
                                      std::stoi(option(args, "--quality", "92"))));
    } else if (format == "png-alpha") {
        saveImage(picture.convertToFormat(QImage::Format_ARGB32), outPath);
    } else if (format == "png") {
        saveImage(flatten(picture, Qt::black), outPath);
    } else {
        throw std::runtime_error("unknown format " + format);
    }
    std::remove(rawPath.c_str());
    return 0;
}

int sheet(int argc, char** argv) {
    const Args args = parseArgs(argc, argv, {{"--texts", 1}});
    if (args.positional.size() != 2) throw std::runtime_error("sheet LAYOUT OUT ...");
    std::optional<SkinTexts> texts;
    if (args.options.count("--texts")) texts = SkinTexts::load(option(args, "--texts"));
    const QImage image =
        composeContactSheet(readFile(args.positional[0]), texts ? &*texts : nullptr);
    saveImage(image, args.positional[1]);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    // A build machine has no display: text is measured and sheets are painted off screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        const std::string runtime = "/tmp/tessarin-skin-" + std::to_string(getuid());
        mkdir(runtime.c_str(), 0700);
        qputenv("XDG_RUNTIME_DIR", runtime.c_str());
    }
    QGuiApplication app(argc, argv);
    const std::string command = argc > 1 ? argv[1] : "";
    try {
        if (command == "render") return render(argc, argv);
        if (command == "sheet") return sheet(argc, argv);
        std::fprintf(stderr, "usage: tessarin-skin render|sheet ...\n");
        return 2;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tessarin-skin: %s\n", e.what());
        return 1;
    }
}
