#pragma once

#include <string>

// Where and how the bridge reaches its broker.
struct SBrokerOptions
{
    std::string host = "localhost";
    int port = 1883;
    std::string clientId; // prefix of every connection's client id; empty: "tamrix-bridge-<host name>"
    std::string username; // from the credentials file only, never from the command line
    std::string password;
    std::string caFile; // set: TLS, the broker's certificate checked against this CA
    int keepAliveS = 30;
    int reconnectMinS = 1; // the wait after a lost connection doubles up to reconnectMaxS
    int reconnectMaxS = 60;
};
