#pragma once
#include <string>

// The service-tool user agreement as the viewer shows it: the title, the notice
// and six sections, lines separated by CR LF, no line break after the last one.
std::wstring BuildAgreementText();
