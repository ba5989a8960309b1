#pragma once

class CliArguments;
class CliOutput;
class CliPump;

// sila: serves the pump as a SiLA 2 server until SIGTERM or SIGINT, on the polled core the bridge
// uses: TLS with a self-signed certificate unless the lab's own or --insecure is given, announced
// on the local network unless --no-discovery. A run a SiLA client started, or priming, is stopped
// before the server ends; a pump set going otherwise is left as it is.
class SilaCommand
{
public:
    SilaCommand(const CliArguments &arguments, const CliOutput &output, CliPump &pump);

    int exec();

private:
    const CliArguments &args;
    const CliOutput &output;
    CliPump &pump;
};
