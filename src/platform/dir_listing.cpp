#include "dir_listing.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <memory>

std::vector<std::string> listarArquivos(const std::string& pasta, const std::string& extensao) {
    std::vector<std::string> nomes;
    const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(pasta.c_str()), ::closedir);
    if (!dir) return nomes;
    const std::string sufixo = "." + extensao;
    while (const dirent* entrada = ::readdir(dir.get())) {
        const std::string nome = entrada->d_name;
        if (nome.empty() || nome[0] == '.' || nome.size() <= sufixo.size()) continue;
        if (nome.compare(nome.size() - sufixo.size(), sufixo.size(), sufixo) != 0) continue;
        struct stat info {};
        if (::stat((pasta + "/" + nome).c_str(), &info) != 0 || !S_ISREG(info.st_mode)) continue;
        nomes.push_back(nome);
    }
    std::sort(nomes.begin(), nomes.end());
    return nomes;
}
