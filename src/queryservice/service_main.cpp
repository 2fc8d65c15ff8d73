// PellquinService: answers open-file queries and close requests for this machine's file
// server on behalf of users without administrative rights there.

#include <string>
#include <vector>

#include "queryservice/service_program.h"

int main(int argc, char** argv) {
    return pellquin::RunServiceProgram(std::vector<std::string>(argv + 1, argv + argc),
                                       pellquin::MakeServiceNetFileApi);
}
