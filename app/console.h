// The console update mode.
#pragma once

class CTessaroApp;

// Runs the whole console update (the variant comes from ConsoleMode).
void RunConsoleMode(CTessaroApp& app);
