#pragma once
// Puts the program-wide state back as a fresh process has it: the shared objects and
// data-access instances released, the launch context and configuration emptied, every
// installed stand-in (report, ADO channel, windows, clock, processes, folders) removed.
// The scripted operator stays: its owner uninstalls it.
void ReiniciarEstadoGlobal();
