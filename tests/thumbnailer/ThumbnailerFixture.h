#pragma once
// What the thumbnailer tests share: the program started as a file manager starts it (its
// output and error captured, a home of its own that must stay empty), documents that mark the
// corners of their box, and a look at the thumbnails it makes.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QImage>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "conversion/DscHeader.h"
#include "thumbnailer/Thumbnail.h"
#include "support/Eps.h"
#include "support/Processes.h"
#include "support/TempHome.h"

extern char** environ;

namespace vorrel::test {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

inline const fs::path kThumbnailer = fs::path(VORREL_PREFIX_DIR) / "bin" / "vorrel-thumbnailer";
inline const fs::path kConverter = fs::path(VORREL_PREFIX_DIR) / "libexec" / "vorrel" / "converter";

// "%%BoundingBox: llx lly urx ury" and the corner squares of that box, `side` points each.
inline std::string boxLine(const BoundingBox& box, const char* keyword = "%%BoundingBox:") {
    std::ostringstream out;
    out << keyword << ' ' << box.llx << ' ' << box.lly << ' ' << box.urx << ' ' << box.ury << '\n';
    return out.str();
}
inline std::string corners(const BoundingBox& box, double side) {
    return eps::cornerSquares(box.llx, box.lly, box.urx, box.ury, side);
}

// What is wrong with the thumbnail in `file`, "" when nothing is: it must be one whole opaque
// PNG whose longer side is `size` and whose sides are those of `page` within a pixel; when
// `drawing` is given, the corner squares of that box (`side` points) must be there, each in its
// colour and place on the page, and the middle of the box the page's white.
inline std::string thumbnailProblem(const fs::path& file, int size, const BoundingBox& page,
                                    std::optional<BoundingBox> drawing = std::nullopt,
                                    double side = 0) {
    const std::string bytes = readFile(file);
    if (bytes.rfind("\x89PNG\r\n\x1a\n", 0) != 0) return "no PNG";
    // Every page Ghostscript draws into one file adds a whole PNG.
    const auto end = bytes.find("IEND");
    if (end == std::string::npos || end + 8 != bytes.size()) return "not one PNG";
    const QImage image(QString::fromStdString(file.string()));
    if (image.isNull()) return "no image";
    if (image.hasAlphaChannel()) return "an image with alpha";

    const double perPoint = size / std::max(page.width(), page.height());
    const double width = std::max(1.0, page.width() * perPoint),
                 height = std::max(1.0, page.height() * perPoint);
    std::ostringstream found;
    found << image.width() << " x " << image.height() << " for " << width << " x " << height;
    if (std::max(image.width(), image.height()) - size > 1 ||
        size - std::max(image.width(), image.height()) > 1 || std::abs(image.width() - width) > 1 ||
        std::abs(image.height() - height) > 1)
        return "a picture of " + found.str();
    if (!drawing) return {};

    // The pixel under a point of the page (PostScript's y axis points up).
    const auto at = [&](double x, double y) {
        const int column =
            std::clamp(static_cast<int>((x - page.llx) * perPoint), 0, image.width() - 1);
        const int row = std::clamp(static_cast<int>(image.height() - (y - page.lly) * perPoint), 0,
                                   image.height() - 1);
        return image.pixelColor(column, row);
    };
    const BoundingBox& box = *drawing;
    const double half = side / 2;
    const struct {
        QColor colour;
        double x, y;
    } squares[] = {{Qt::blue, box.llx + half, box.lly + half},
                   {Qt::red, box.urx - half, box.lly + half},
                   {Qt::green, box.llx + half, box.ury - half},
                   {Qt::black, box.urx - half, box.ury - half}};
    for (const auto& square : squares) {
        const QColor colour = at(square.x, square.y);
        if (colour.alpha() < 200 || std::abs(colour.red() - square.colour.red()) > 60 ||
            std::abs(colour.green() - square.colour.green()) > 60 ||
            std::abs(colour.blue() - square.colour.blue()) > 60)
            return square.colour.name().toStdString() + " corner is " +
                   colour.name(QColor::HexArgb).toStdString();
    }
    if (const QColor middle = at((box.llx + box.urx) / 2, (box.lly + box.ury) / 2);
        middle != QColor(Qt::white))
        return "the middle is " + middle.name(QColor::HexArgb).toStdString();
    return {};
}


// Waits (bounded) until `condition` holds.
template <typename Condition>
bool eventually(Condition condition, std::chrono::milliseconds limit = 10s) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

struct Outcome {
    int status = -1;  // the exit status, or 128 + the signal that ended it
    std::string out, err;
};

class ThumbnailerTest : public ::testing::Test {
protected:
    TempHome folders_;
    // The program's home: it must need nothing there, and leave nothing.
    const fs::path home_ = folders_.root() / "home";
    const fs::path out_ = folders_.root() / "thumbnails";

    ThumbnailerTest() {
        fs::create_directories(home_);
        fs::create_directories(out_);
    }

    // What a converter of a thumbnail into out_ has on its command line: the input is a copy
    // in the run's private folder beside the output, never the user's path.
    std::string converterMark() const { return (out_ / vorrel::Thumbnail::kFolderPrefix).string(); }

    fs::path document(const std::string& name, const std::string& content) const {
        return folders_.write("documents/" + name, content);
    }

    // Starts `program arguments…` with the test's home and its output and error captured in
    // files; `environment` adds or replaces variables.
    pid_t start(const std::vector<std::string>& command,
                const std::map<std::string, std::string>& environment = {}) const {
        std::map<std::string, std::string> variables;
        for (char** entry = environ; *entry; ++entry) {
            const std::string text = *entry;
            const auto equals = text.find('=');
            if (equals != std::string::npos)
                variables[text.substr(0, equals)] = text.substr(equals + 1);
        }
        for (const char* name : {"XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME",
                                 "XDG_STATE_HOME", "QT_QPA_PLATFORM"})
            variables.erase(name);
        variables["HOME"] = home_.string();
        for (const auto& [name, value] : environment) variables[name] = value;

        std::vector<std::string> texts;
        for (const auto& [name, value] : variables) texts.push_back(name + "=" + value);
        std::vector<char*> envp, argv;
        for (auto& text : texts) envp.push_back(text.data());
        envp.push_back(nullptr);
        std::vector<std::string> arguments = command;
        for (auto& argument : arguments) argv.push_back(argument.data());
        argv.push_back(nullptr);

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outFile().c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0600);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errFile().c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0600);
        pid_t pid = 0;
        const int error = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
        posix_spawn_file_actions_destroy(&actions);
        EXPECT_EQ(error, 0) << command.front();
        return error == 0 ? pid : -1;
    }

    // Waits for the program to end, at most `limit`: past it, kills it and reports status -1.
    Outcome finish(pid_t pid, std::chrono::milliseconds limit = 120s) const {
        Outcome outcome;
        int status = 0;
        const bool ended =
            pid > 0 && eventually([&] { return waitpid(pid, &status, WNOHANG) == pid; }, limit);
        if (ended) {
            outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        } else if (pid > 0) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
        }
        outcome.out = readFile(outFile());
        outcome.err = readFile(errFile());
        return outcome;
    }

    Outcome run(const std::vector<std::string>& command,
                const std::map<std::string, std::string>& environment = {}) const {
        return finish(start(command, environment));
    }

    // vorrel-thumbnailer -s SIZE INPUT OUTPUT, as file managers run it.
    Outcome thumbnail(int size, const fs::path& input, const fs::path& output,
                      const std::map<std::string, std::string>& environment = {}) const {
        return run(
            {kThumbnailer.string(), "-s", std::to_string(size), input.string(), output.string()},
            environment);
    }

private:
    fs::path outFile() const { return folders_.root() / "stdout"; }
    fs::path errFile() const { return folders_.root() / "stderr"; }
};

}  // namespace vorrel::test
