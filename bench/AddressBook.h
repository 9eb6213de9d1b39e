#pragma once
// The address book both benchmarks time, so that Linux and Windows are measured on
// the same contacts: Spanish names, about one in five given names compound, in
// given-name order as a list load leaves them.
#include "contacts/Persona.h"
#include "contacts/Sort.h"

#include <algorithm>
#include <cstddef>
#include <random>
#include <string>
#include <vector>

namespace bench {

using contacts::Persona;
using contacts::Record;

// Spanish given names and surnames in UTF-8; compound names are built from them.
inline const char *const kGiven[] = {
    "Adrián", "Agustín", "Alba", "Alberto", "Alejandra", "Alejandro", "Alicia", "Alfonso", "Almudena",
    "Álvaro", "Amparo", "Ana", "Andrés", "Ángel", "Ángela", "Antonia", "Antonio", "Aurora",
    "Beatriz", "Belén", "Benito", "Blanca", "Borja", "Bruno", "Carla", "Carlos", "Carmen", "Carolina",
    "Catalina", "Cecilia", "César", "Clara", "Concepción", "Cristina", "Cristian", "Daniel",
    "David", "Diana", "Diego", "Dolores", "Eduardo", "Elena", "Eloy", "Elisa", "Emilio", "Encarnación",
    "Enrique", "Esperanza", "Esteban", "Esther", "Eva", "Fernando", "Francisca", "Francisco", "Gabriel",
    "Gloria", "Gonzalo", "Guillermo", "Hugo", "Ignacio", "Inés", "Irene", "Isabel", "Ismael",
    "Íñigo", "Jaime", "Javier", "Jesús", "Joaquín", "Jorge", "Josefa", "Juan", "Juana",
    "Julia", "Julián", "Julio", "Laura", "Leonor", "Lorena", "Lorenzo", "Lucía", "Luis", "Luisa",
    "Manuel", "Manuela", "Marcos", "Margarita", "María", "Mariano", "Marina", "Mario", "Marta",
    "Martín", "Mercedes", "Miguel", "Milagros", "Mónica", "Natalia", "Nicolás", "Nieves",
    "Noelia", "Nuria", "Olga", "Óscar", "Pablo", "Paloma", "Patricia", "Paula", "Pedro", "Pilar", "Rafael",
    "Ramón", "Raquel", "Raúl", "Rebeca", "Ricardo", "Roberto", "Rocío", "Rodrigo", "Rosa",
    "Rosario", "Rubén", "Salvador", "Samuel", "Sandra", "Santiago", "Sara", "Sergio", "Silvia",
    "Sofía", "Sonia", "Susana", "Teresa", "Tomás", "Valentín", "Vanesa", "Vicente",
    "Víctor", "Virginia", "Yolanda",
};
inline const char *const kCompoundFirst[] = {"María", "José", "Juan", "Ana", "Luis", "Miguel"};
inline const char *const kSurnames[] = {
    "Alonso", "Álvarez", "Arias", "Blanco", "Bravo", "Caballero", "Calvo", "Campos", "Cano", "Carmona",
    "Castillo", "Castro", "Cortés", "Crespo", "Cruz", "Delgado", "Díaz", "Domínguez", "Durán",
    "Esteban", "Fernández", "Ferrer", "Flores", "Fuentes", "Gallego", "García", "Garrido",
    "Gil", "Giménez", "Gómez", "González", "Guerrero", "Gutiérrez", "Hernández",
    "Herrera", "Herrero", "Hidalgo", "Ibáñez", "Iglesias", "Jiménez", "León", "Lorenzo",
    "López", "Lozano", "Marín", "Márquez", "Martín", "Martínez", "Medina",
    "Méndez", "Molina", "Montero", "Mora", "Morales", "Moreno", "Muñoz", "Navarro", "Nieto",
    "Núñez", "Ortega", "Ortiz", "Pascual", "Pastor", "Peña", "Pérez", "Prieto",
    "Ramírez", "Ramos", "Reyes", "Rodríguez", "Román", "Romero", "Rubio", "Ruiz", "Saez",
    "Sánchez", "Santana", "Santiago", "Santos", "Sanz", "Serrano", "Soler", "Suárez", "Torres",
    "Vargas", "Vázquez", "Vega", "Vicente", "Vidal",
};
inline const char *const kStreets[] = {"Calle Mayor", "Av. de la Paz", "Calle Real", "Plaza España", "Calle Sol",
                                       "Paseo del Prado", "Calle Luna", "Ronda Norte"};

template <std::size_t N>
inline const char *pick(const char *const (&list)[N], std::mt19937 &random)
{
    return list[random() % N];
}

inline Record randomRecord(std::mt19937 &random)
{
    Persona p;
    p.Apellido = std::string(pick(kSurnames, random)) + " " + pick(kSurnames, random);
    // About one in five has a compound given name ("María Luisa").
    p.Nombre = random() % 5 == 0 ? std::string(pick(kCompoundFirst, random)) + " " + pick(kGiven, random)
                                 : std::string(pick(kGiven, random));
    p.Direccion = std::string(pick(kStreets, random)) + " " + std::to_string(1 + random() % 120);
    p.Telefono = "6" + std::to_string(10000000 + random() % 90000000);
    p.Email = "contacto" + std::to_string(random() % 100000) + "@correo.es";
    return contacts::encode(p);
}

inline bool byNombre(const Record &a, const Record &b)
{
    return contacts::nombreLess(a.data() + contacts::kNombreOffset, b.data() + contacts::kNombreOffset);
}

inline std::vector<Record> randomRecords(std::size_t n, std::mt19937 &random)
{
    std::vector<Record> records(n);
    for (auto &r : records)
        r = randomRecord(random);
    return records;
}

inline std::vector<Record> sortedRecords(std::size_t n, std::mt19937 &random)
{
    auto records = randomRecords(n, random);
    std::stable_sort(records.begin(), records.end(), byNombre);
    return records;
}

// A contact whose given name sorts after every generated one, with a surname that
// no other has: a search for it walks the whole list.
inline constexpr char kLastSurname[] = "Zzyzx";

inline std::vector<Record> sortedWithLast(std::size_t n, std::mt19937 &random)
{
    auto records = sortedRecords(n - 1, random);
    records.push_back(contacts::encode(Persona{kLastSurname, "ÿ", "", "", ""}));
    return records;
}

} // namespace bench
