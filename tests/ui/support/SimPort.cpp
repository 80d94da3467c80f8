#include "SimPort.h"

#include "comm/PortResolver.h"

std::unique_ptr<SSimPort> SSimPort::OnPty(const std::string& model, int portNumber)
{
    auto port = std::make_unique<SSimPort>();
    port->sim = CSimInstrument::Create(model);
    std::string error;
    if (!port->sim || !port->sim->StartPty("", error) ||
        !CPortResolver::Register(portNumber, port->sim->PtyPath()))
        return nullptr;
    port->portNumber = portNumber;
    port->descriptor = "COM:" + std::to_string(portNumber) + ":0";
    return port;
}

std::unique_ptr<SSimPort> SSimPort::OnTcp(const std::string& model)
{
    auto port = std::make_unique<SSimPort>();
    port->sim = CSimInstrument::Create(model);
    std::string error;
    if (!port->sim || !port->sim->StartTcp("127.0.0.1", 0, error))
        return nullptr;
    port->descriptor = "TCP:127.0.0.1:" + std::to_string(port->sim->TcpPort());
    return port;
}

SSimPort::~SSimPort()
{
    if (portNumber > 0)
        CPortResolver::Unregister(portNumber);
}
