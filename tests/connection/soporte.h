#pragma once
// Shared set-up of the connection tests: a fresh application folder, a scripted operator,
// recorded process starts and a fixed environment.
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/os/procesos.h"
#include "platform/os/sistema.h"
#include "platform/basic/texto.h"

struct ProcesosGrabados : os::Procesos {
  struct Inicio {
    std::string linea;
    int estilo;
  };
  std::vector<Inicio> inicios;
  long Iniciar(const std::string& linea, int estilo) override {
    inicios.push_back({linea, estilo});
    return 4321;
  }
  bool Vive(long) override { return false; }
};

struct SistemaFijo : os::Sistema {
  std::map<std::string, std::string> entorno;
  std::optional<std::string> Entorno(const std::string& nombre) const override {
    for (const auto& [k, v] : entorno) {
      if (basic::IgualesSinCaso(k, nombre)) return v;
    }
    return std::nullopt;
  }
};
