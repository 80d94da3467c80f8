#pragma once

#include "SimEngine.h"
#include "SimLineSettings.h"
#include "SimPtyTransport.h"
#include "SimTcpTransport.h"

#include <memory>
#include <string>

// One simulated instrument with its transports: what tests, benchmarks, the demo and tamrix-sim use.
//
//   auto sim = CSimInstrument::Create("K760");          // null for an unknown model
//   std::string error;
//   sim->StartPty("", error);   sim->PtyPath();          // "/dev/pts/N"
//   sim->StartTcp("127.0.0.1", 0, error);   sim->TcpPort();
//   sim->Request("*IDN?");                               // in-process, no transport
//   sim->Faults().dropEvery = 3;  sim->PushError(401);  sim->Unplug();
//   sim->Log().WaitForText("TEC:T 25", 2s);              // what the program sent
//
// Stop (or destruction) ends the transports' threads.
class CSimInstrument
{
public:
    explicit CSimInstrument(const SSimModel& model);
    ~CSimInstrument();
    static std::unique_ptr<CSimInstrument> Create(const std::string& modelName);

    CSimEngine& Engine() { return m_engine; }
    SSimLineSettings& Line() { return m_line; }
    SSimFaults& Faults() { return m_engine.Faults(); }
    CSimLineLog& Log() { return m_engine.Log(); }
    std::string Request(std::string_view line) { return m_engine.Request(line); }

    void SetBaud(int baud) { m_line.baud = baud; }
    void SetWireTiming(bool on) { m_line.wireTiming = on; }
    void SetEcho(bool on);
    void SetSerial(const std::string& serial);
    void SetFitted(ESimFamily family, unsigned mask);
    void PushError(int number);
    void SetSensorFault(int tecIndex, ESimSensorFault fault);

    bool StartPty(const std::string& link, std::string& error) { return m_pty.Start(link, error); }
    std::string PtyPath() const { return m_pty.Path(); }
    bool Unplug() { return m_pty.Unplug(); }
    bool Replug(std::string& error) { return m_pty.Replug(error); }

    bool StartTcp(const std::string& address, int port, std::string& error)
    {
        return m_tcp.Start(address, port, error);
    }
    int TcpPort() const { return m_tcp.Port(); }
    bool HasTcpClient() const { return m_tcp.HasClient(); }
    void DropConnection() { m_tcp.DropConnection(); }

    void Stop();

private:
    SSimLineSettings m_line;
    CSimEngine m_engine;
    CSimPtyTransport m_pty;
    CSimTcpTransport m_tcp;
};
