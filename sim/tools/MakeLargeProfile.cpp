// Writes the large simulator profile: 640 setup items of all five kinds spread over every setup page
// range, with links, so end-to-end runs can measure big setups. Deterministic: same file every build.
#include <fstream>
#include <iostream>
#include <nlohmann/json.hpp>
#include <string>

namespace {

using nlohmann::ordered_json;

// One block of ids inside each setup page's range (the RFID range holds only 50 ids).
struct PageBlock {
    unsigned start;
    unsigned count;
};
constexpr PageBlock kPages[] = {{1000, 90},  {10001, 90}, {20001, 90}, {25001, 90},
                                {65001, 90}, {65201, 80}, {65301, 50}, {65351, 60}};

ordered_json MakeItem(unsigned id, unsigned n, bool follows) {
    ordered_json item;
    item["id"] = id;
    item["text"] = "Parameter " + std::to_string(n);
    switch (n % 5) {
    case 0:
        item["kind"] = "list";
        item["first"] = 0;
        item["elements"] = {"Off", "On", "Auto"};
        item["default"] = 0;
        item["current"] = static_cast<int>(n % 3);
        break;
    case 1:
        item["kind"] = "numeric";
        item["min"] = 0;
        item["max"] = 100;
        item["step"] = n % 2 ? 0.5 : 1;
        item["default"] = 10;
        item["current"] = static_cast<double>(n % 100);
        break;
    case 2:
        item["kind"] = "string";
        item["min_len"] = 0;
        item["max_len"] = 32;
        item["mask"] = 2;
        item["default"] = "";
        item["current"] = "Value " + std::to_string(n);
        break;
    case 3:
        item["kind"] = "checkboxes";
        item["bits"] = 10;
        item["default"] = {0, 0};
        item["current"] = {static_cast<int>(n % 256), 1};
        item["elements"] = ordered_json::array();
        for (int bit = 0; bit < 10; ++bit)
            item["elements"].push_back({{"text", "Option " + std::to_string(bit)}, {"bit", bit}});
        break;
    default:
        item["kind"] = "datetime";
        item["current"] = "2026/01/15 08:30:00";
        break;
    }
    // Each list item hides the numeric item after it on the same page when set to 1.
    if (n % 5 == 1 && follows)
        item["links"] = {{{"op", "H"}, {"source", id - 1}, {"value", 1}}};
    return item;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: dalvora-sim-make-large OUTPUT.json\n";
        return 2;
    }
    ordered_json profile;
    profile["name"] = "Dalvora-Large";
    profile["gsi"] = "0x1234";
    profile["firmware"] = "LARGE FW 9.99.0";
    profile["capabilities"] = "0x01";
    profile["reset_ms"] = 2000;
    profile["header"] = {"LARGE SIMULATED PRINTER", "640 setup items"};
    profile["info"] = {
        {"life", {"Printed tickets: 123456"}}, {"device", {"Model: Large"}}, {"head", {"Head: 80 mm"}}};
    profile["items"] = ordered_json::array();
    unsigned n = 0;
    for (const PageBlock& page : kPages)
        for (unsigned k = 0; k < page.count; ++k, ++n)
            profile["items"].push_back(MakeItem(page.start + k, n, k > 0));
    std::ofstream out(argv[1]);
    out << profile.dump(1) << "\n";
    return out ? 0 : 1;
}
