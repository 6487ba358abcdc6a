// What the module tells a host about itself: its name and about text, and
// its pins, read once when the host loads and lays out an instance.
#include "map_module.h"

namespace tessel {

using namespace sep;

namespace {

const char kName[] = "Tessel Map";
const char kIdentifier[] = "ZQ Tessel Map2";
// "v1.2" belongs to the module's identity, like the identifier, and is not the
// release version (CMakeLists.txt): a new release leaves this text as it is.
const char kAbout[] =
    "Tessel Map v1.2\n"
    "By the Tessel Map developers\n"
    "Questions and reports: the Tessel Map project page\n"
    "\n"
    "Equation:\n"
    "\tx(n+1)=1+y(n)-a*[x(n)]^2\n"
    "\ty(n+1)=b*x(n)\n"
    "\n"
    "Quick Help:\n"
    "Gate - Does one iteration per positive zero crossing\n"
    "Reset - Restart iteration at x0, y0\n"
    "x0 - initial x\n"
    "y0 - initial y\n"
    "a - constant (usually 1.4)\n"
    "b - constant (usually 0.3)\n"
    "Mode -\n"
    "\t'Continuous' iterates at sample rate\n"
    "\t'Gated' iterates upon gate signal\n"
    "Normalize -\n"
    "\tIf 'On', amplifies output to around +5V/-5V\n"
    "\tNote: 'y' is usually less than 'x'";

}  // namespace

struct MapModule::PinDeclaration {
    const char* name;
    int32_t direction;
    int32_t dataType;
    const char* defaultText;  // null: not written
    const char* rangeText;    // null: not written
    void* (*variable)(MapModule&);
};

const MapModule::PinDeclaration MapModule::pinDeclarations[MapPinCount] = {
    {"Gate", Input, Audio, "0", nullptr, [](MapModule& m) -> void* { return &m.buffers.gateIn; }},
    {"Reset", Input, Audio, "0", nullptr, [](MapModule& m) -> void* { return &m.buffers.resetIn; }},
    {"x0", Input, Audio, "0", "2,-2,2,-2", [](MapModule& m) -> void* { return &m.buffers.x0In; }},
    {"y0", Input, Audio, "0", "2,-2,2,-2", [](MapModule& m) -> void* { return &m.buffers.y0In; }},
    {"a", Input, Audio, "1.4", "4,-1,4,-1", [](MapModule& m) -> void* { return &m.buffers.aIn; }},
    {"b", Input, Audio, "0.3", "1,-1,1,-1", [](MapModule& m) -> void* { return &m.buffers.bIn; }},
    {"x", Output, Audio, nullptr, nullptr, [](MapModule& m) -> void* { return &m.buffers.xOut; }},
    {"y", Output, Audio, nullptr, nullptr, [](MapModule& m) -> void* { return &m.buffers.yOut; }},
    {"Mode", Input, Enum, "0", "Continuous,Gated", [](MapModule& m) -> void* { return &m.mode; }},
    {"Normalize", Setting, Enum, "1", "Off,On", [](MapModule& m) -> void* { return &m.normalize; }},
};

bool MapModule::fillModuleTexts(ModuleProperties* properties)
{
    properties->name = kName;
    properties->identifier = kIdentifier;
    properties->about = kAbout;
    return true;
}

bool MapModule::getPinProperties(int32_t index, PinProperties* properties)
{
    if (static_cast<uint32_t>(index) >= MapPinCount) return false;
    const PinDeclaration& row = pinDeclarations[index];
    properties->variable = row.variable(*this);
    properties->direction = row.direction;
    properties->dataType = row.dataType;
    properties->name = row.name;
    if (row.defaultText) properties->defaultText = row.defaultText;
    if (row.rangeText) properties->rangeText = row.rangeText;
    return true;
}

}  // namespace tessel
