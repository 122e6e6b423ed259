#pragma once

#include <string>

namespace kelmora {

// What the client libraries print while their output is captured: the
// informational text and the error text, each kept until taken. The capture
// is on while a CClientMessageCapture lives (nested ones are fine); outside
// it the libraries print as usual and nothing is kept.
class CClientMessageCapture {
public:
    CClientMessageCapture();
    ~CClientMessageCapture();
    CClientMessageCapture(const CClientMessageCapture&) = delete;
    CClientMessageCapture& operator=(const CClientMessageCapture&) = delete;
};

std::string PendingClientInfo();
std::string PendingClientErrors();
// Empties both buffers.
void ClearPendingClientMessages();

}  // namespace kelmora
