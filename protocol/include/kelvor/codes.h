// Words for result codes, shared by the library and the simulator.
#pragma once

#include <cstdint>
#include <string>

namespace kelvor::proto {

// Description of a controller code (KLV_C_...), or nullptr when the code has no fixed meaning.
const char* controllerCodeText(int32_t code);
// Description of a library code (KLV_E_..., KLV_OK), or nullptr when unknown.
const char* libraryCodeText(int32_t code);
// Description of any code; unknown codes become "Controller error 0x..." or
// "Unknown library error 0x...".
std::string codeText(int32_t code);

}  // namespace kelvor::proto
