#pragma once
// Collections of texts handed between the lookup engine, its windows and their callers.
// A collection is held by reference: a null pointer is the collection that "refers to
// nothing" (a cancelled lookup leaves Valores so).
#include <memory>
#include <string>
#include <vector>

using Coleccion = std::vector<std::string>;
using RefColeccion = std::shared_ptr<Coleccion>;

inline RefColeccion NuevaColeccion() { return std::make_shared<Coleccion>(); }
