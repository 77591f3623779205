#include "standin_driver/standin_logic.h"

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>

namespace standin {

namespace {

void Apply(Config& config, const std::string& key, const std::string& value) {
    if (key == "answer") config.answer = value;
    if (key == "delay") config.delayMs = std::atoi(value.c_str());
    if (key == "never") config.never = value == "1";
}

bool WriteBytes(const std::string& name, const std::string& bytes) {
    std::ofstream out(name, std::ios::binary | std::ios::trunc);
    out << bytes;
    out.close();
    return static_cast<bool>(out);
}

}  // namespace

Config ConfigFromEnvironment() {
    Config config;
    std::ifstream file("WQG-standin.cfg");
    std::string line;
    while (std::getline(file, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const auto eq = line.find('=');
        if (eq != std::string::npos) Apply(config, line.substr(0, eq), line.substr(eq + 1));
    }
    if (const char* v = std::getenv("WQG_STANDIN_ANSWER")) Apply(config, "answer", v);
    if (const char* v = std::getenv("WQG_STANDIN_DELAY_MS")) Apply(config, "delay", v);
    if (const char* v = std::getenv("WQG_STANDIN_NEVER")) Apply(config, "never", v);
    return config;
}

int Run(const std::string& handOffFile, const Config& config) {
    std::ifstream in(handOffFile, std::ios::binary);
    if (!in) return 2;
    const std::string got((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!WriteBytes("WQG-got.{-}", got)) return 3;
    if (config.delayMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(config.delayMs));
    if (config.never) return 0;
    if (!WriteBytes("WQG.{-}", "WQG stand-in\r\n" + config.answer + "\r\n")) return 3;
    return WriteBytes("Wrk-WQG.{-}", "") ? 0 : 3;
}

}  // namespace standin
