#include "xml_afinacao_parser.h"

#include <sys/stat.h>

#include <charconv>

#include "errors.h"
#include "libxmlparser.h"

namespace {

// Open mode of the tuning file: read access, other readers and writers allowed.
constexpr int kModoLeitura = 64;

bool arquivoExiste(const std::string& nome) {
    struct stat st {};
    return ::stat(nome.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

// A decimal integer with an optional sign, as the platform's conversion reads it.
int paraInteiro(const std::string& texto) {
    const char* inicio = texto.data();
    const char* fim = texto.data() + texto.size();
    if (inicio != fim && *inicio == '+' && fim - inicio > 1 && inicio[1] != '-') ++inicio;
    int valor = 0;
    const auto [ptr, ec] = std::from_chars(inicio, fim, valor, 10);
    if (inicio == fim || ec != std::errc() || ptr != fim) {
        throw EConvertError("'" + texto + "' is not a valid integer value");
    }
    return valor;
}

// What one reading knows about the tuning element it is in.
struct EstadoLeitura {
    bool emAfinacao = false;  // inside <Afinacao>
    bool emValores = false;   // inside <frequenciasMIDI>
    std::string instrumento;
    std::string tipo;
    int numeroCordas = 0;  // 0 until numeroCordas is read
    int contador = 0;      // notes met in this tuning
    // Notes stored since the latest numeroCordas, at the positions the counter gave them, and
    // how many were stored: a tuning is complete only when every position got its note.
    std::vector<int> valores;
    int armazenados = 0;
    bool notaForaDaTabela = false;

    void iniciarAfinacao() {
        emAfinacao = true;
        instrumento.clear();
        tipo.clear();
        numeroCordas = 0;
        contador = 0;
        valores.clear();
        armazenados = 0;
        notaForaDaTabela = false;
    }

    void lerContagem(const std::string& texto) {
        numeroCordas = paraInteiro(texto);
        valores.clear();  // a new value array; notes met before it have no place in it
        armazenados = 0;
    }

    void lerNota(const std::string& texto) {
        if (contador < numeroCordas) {
            const int nota = paraInteiro(texto);
            if (nota < 0 || nota >= kNotasMIDI) notaForaDaTabela = true;
            // Grows with the notes actually present, whatever count the file claims. The counter
            // only rises, so each position is written once.
            if (valores.size() <= static_cast<std::size_t>(contador)) valores.resize(contador + 1);
            valores[contador] = nota;
            ++armazenados;
        }
        ++contador;
    }

    // Every string has a note from the table.
    bool completa() const {
        return numeroCordas > 0 && contador == numeroCordas && armazenados == numeroCordas &&
               !notaForaDaTabela;
    }
};

}  // namespace

XMLAfinacaoParser* XMLAfinacaoParser::getInstancia() {
    // Deliberately never destroyed: it lives until the process ends.
    static XMLAfinacaoParser* const instancia = new XMLAfinacaoParser();
    return instancia;
}

XMLAfinacaoParser::XMLAfinacaoParser() {
    for (int i = 0; i < 12; ++i) tabelaNomesNotas_[i] = nomeNotaMIDI(i);
    for (int n = 0; n < kNotasMIDI; ++n) tabelaFrequencias_[n] = frequenciaNotaMIDI(n);
}

std::vector<Afinacao> XMLAfinacaoParser::lerAfinacoes(const std::string& nomeArquivo) const {
    if (!arquivoExiste(nomeArquivo)) throw EFOpenError("");
    TXMLParser xml;
    xml.LoadFromFile(nomeArquivo, kModoLeitura);  // an unreadable file reads as an empty one
    return ler(xml);
}

std::vector<Afinacao> XMLAfinacaoParser::lerAfinacoesDoTexto(const std::string& documento) const {
    TXMLParser xml;
    xml.LoadFromBuffer(documento.c_str());
    return ler(xml);
}

XMLAfinacaoParser::LeituraUsuario XMLAfinacaoParser::lerAfinacoesUsuario(
    const std::string& nomeArquivo) const {
    if (!arquivoExiste(nomeArquivo)) throw EFOpenError("");
    TXMLParser xml;
    xml.LoadFromFile(nomeArquivo, kModoLeitura);
    LeituraUsuario leitura;
    leitura.afinacoes = ler(xml, false, &leitura);
    return leitura;
}

std::vector<Afinacao> XMLAfinacaoParser::ler(TXMLParser& xml, bool traduzirCodigos,
                                             LeituraUsuario* leitura) const {
    std::vector<Afinacao> afinacoes;
    int elementos = 0;
    bool primeiroElemento = true, raiz = false, raizFechada = false;
    xml.StartScan();
    EstadoLeitura estado;
    while (xml.Scan()) {
        switch (xml.PartKind) {
            case ptEmptyTag:
                if (primeiroElemento) raiz = raizFechada = xml.PartName == "Afinacoes";
                primeiroElemento = false;
                break;
            case ptStartTag:
                if (primeiroElemento) raiz = xml.PartName == "Afinacoes";
                primeiroElemento = false;
                if (xml.PartName == "Afinacao") {
                    estado.iniciarAfinacao();
                    ++elementos;
                } else if (xml.PartName == "frequenciasMIDI") {
                    estado.emValores = true;
                }
                break;
            case ptEndTag:
                if (xml.PartName == "Afinacoes") raizFechada = raiz;
                if (xml.PartName == "Afinacao") {
                    if (estado.emAfinacao && estado.completa()) {
                        const int n = estado.numeroCordas;
                        std::vector<std::string> nomes(n);
                        std::vector<double> frequencias(n);
                        for (int k = 0; k < n; ++k) {
                            nomes[k] = tabelaNomesNotas_[estado.valores[k] % 12];
                            frequencias[k] = tabelaFrequencias_[estado.valores[k]];
                        }
                        afinacoes.emplace_back(estado.instrumento, estado.tipo, n, std::move(nomes),
                                               estado.valores, std::move(frequencias));
                    }
                    estado.emAfinacao = false;
                } else if (xml.PartName == "frequenciasMIDI") {
                    estado.emValores = false;
                }
                break;
            case ptContent:
                if (!estado.emAfinacao) break;  // nowhere to put it
                if (estado.emValores) {
                    estado.lerNota(xml.PartContent);
                } else if (xml.PartName == "instrumento") {
                    estado.instrumento = xml.PartContent;
                } else if (xml.PartName == "tipoAfinacao") {
                    estado.tipo = xml.PartContent;
                } else if (xml.PartName == "numeroCordas") {
                    estado.lerContagem(xml.PartContent);
                }
                break;
            default:
                break;
        }
    }

    if (leitura != nullptr) {
        leitura->descartadas = elementos - static_cast<int>(afinacoes.size());
        leitura->inteiro = raiz && raizFechada;
    }
    if (!traduzirCodigos) return afinacoes;
    for (Afinacao& afinacao : afinacoes) {
        afinacao.setInstrumento(traduzir(afinacao.getInstrumento()));
        afinacao.setTipoAfinacao(traduzir(afinacao.getTipoAfinacao()));
    }
    return afinacoes;
}

std::string XMLAfinacaoParser::traduzir(const std::string& texto) const {
    std::string resultado = texto;
    // Each pass removes one "#" and its code. The search goes on after the inserted text, so a
    // text that itself held a "#" could never make the loop run forever.
    std::size_t inicio = 0;
    for (std::size_t marca; (marca = resultado.find('#', inicio)) != std::string::npos;) {
        const std::string codigo = resultado.substr(marca + 1, 3);
        const std::string traducao =
            fonteTextos_ ? fonteTextos_("xmlAfinacao", codigo) : std::string();
        resultado.replace(marca, 1 + codigo.size(), traducao);
        inicio = marca + traducao.size();
    }
    return resultado;
}
