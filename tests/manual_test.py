#!/usr/bin/python3
"""Each tool's manual page against its own source: every option, every
environment variable it reads and every fixed piece of every message it can
write must be in the page as the page renders, so the page cannot fall
behind the code. The lists come from the sources (not the *_test files)."""
import glob
import os
import re
import unicodedata
import unittest

RAIZ = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
PAGINAS = {"rosto": "man/rosto.1", "escuta": "man/escuta.1"}

# Calls and assignments whose strings end up in a line the program writes:
# the tools' message routines, the backends' error values and helpers.
MENSAGEM = re.compile(r"\b(?:falhar|falha|sair|avisar|diagnosticar|falhou|aoCair)\s*\(|\bErro\s*\{"
                      r"|\b(?:erro|motivo)\s*=(?!=)")
# Texts the program holds but never writes, each with the reason.
NUNCA_ESCRITAS = {
    "não é um arquivo comum": "rosto: a file that cannot be opened is reported as having no video",
}

# C++ source: comments, string literals, character literals.
TOKEN = re.compile(r'//[^\n]*|/\*.*?\*/|"((?:[^"\\\n]|\\.)*)"|\'(?:[^\'\\\n]|\\.)+\'', re.S)
ESCAPE_CPP = {"n": "\n", "t": "\t", "r": "\r", "b": "\b", "f": "\f", "v": "\v", "a": "\a", "0": "\0",
              "\\": "\\", '"': '"', "'": "'", "?": "?"}


def decodificar(corpo):
    saida = bytearray()
    for m in re.finditer(r"\\x([0-9A-Fa-f]{2})|\\(.)|([^\\]+)", corpo, re.S):
        if m.group(1):
            saida.append(int(m.group(1), 16))  # a byte of UTF-8
        else:
            saida += (ESCAPE_CPP[m.group(2)] if m.group(2) else m.group(3)).encode()
    return saida.decode("utf-8", "replace")


def esqueleto(fonte):
    """The code with each literal (adjacent ones joined) as @n@, and the literals."""
    literais = []

    def trocar(m):
        if m.group(1) is None:
            return " " if m.group(0).startswith("/") else "'?'"
        literais.append(decodificar(m.group(1)))
        return f"@{len(literais) - 1}@"

    codigo = TOKEN.sub(trocar, fonte)

    def juntar(m):
        partes = [literais[int(n)] for n in re.findall(r"@(\d+)@", m.group(0))]
        literais.append("".join(partes))
        return f"@{len(literais) - 1}@"

    return re.sub(r"@\d+@(?:\s*@\d+@)+", juntar, codigo), literais


def argumento(codigo, inicio):
    """The text of a call's parentheses or braces opening at `inicio`, or up to ';' for '='."""
    if codigo[inicio - 1] == "=":
        return codigo[inicio:codigo.index(";", inicio)]
    nivel = 0
    for k in range(inicio - 1, len(codigo)):
        nivel += (codigo[k] in "([{") - (codigo[k] in ")]}")
        if nivel == 0:
            return codigo[inicio:k]
    raise ValueError("unbalanced call")


DEFINICAO = re.compile(r"^([^\n;{}]*?)\b(\w+)\s*\([^;{}]*?\)\s*(?:const\s*)?(?:override\s*)?\{", re.M)
NAO_FUNCOES = {"if", "for", "while", "switch", "catch"}


def literais_em(texto, literais):
    return [literais[int(n)] for n in re.findall(r"@(\d+)@", texto)]


def do_codigo(ferramenta):
    """(options, environment variables, message pieces) of one tool's sources."""
    fontes = [f for f in glob.glob(os.path.join(RAIZ, ferramenta, "**", "*.[ch]*"), recursive=True)
              if not re.search(r"_test\.(cpp|h)$", f)]
    arquivos = []
    for f in sorted(fontes):
        with open(f, encoding="utf-8") as a:
            arquivos.append(esqueleto(a.read()))
    constantes, retornos, pecas = {}, {}, set()
    for codigo, literais in arquivos:
        for nome, n in re.findall(r"\b(k[A-Z]\w*)\s*=\s*@(\d+)@\s*;", codigo):
            constantes[nome] = literais[int(n)]
        for m in DEFINICAO.finditer(codigo):
            if m.group(2) in NAO_FUNCOES:
                continue
            corpo = argumento(codigo, m.end())
            textos = [t for r in re.findall(r"\breturn\b([^;]*);", corpo) for t in literais_em(r, literais)]
            retornos.setdefault(m.group(2), []).extend(textos)
            # A function giving an optional text gives a message (or nothing).
            if "std::optional<std::string>" in m.group(1):
                pecas.update(textos)
    opcoes, ambiente = set(), set()
    for codigo, literais in arquivos:
        opcoes |= {t for t in literais if re.fullmatch(r"--[a-z][a-z-]*", t)}
        for m in re.finditer(r"\bgetenv\s*\(\s*@(\d+)@", codigo):
            ambiente.add(literais[int(m.group(1))])
        for m in MENSAGEM.finditer(codigo):
            dentro = argumento(codigo, m.end())
            pecas.update(literais_em(dentro, literais))
            pecas.update(constantes[c] for c in re.findall(r"\b(k[A-Z]\w*)\b", dentro) if c in constantes)
            # A message made by a function of this tool: the pieces it returns.
            for chamada in re.findall(r"\b(\w+)\s*\(", dentro):
                pecas.update(retornos.get(chamada, []))
    return opcoes, ambiente, {t.strip() for t in pecas if re.search(r"[^\W\d_]", t)}


# roff, as groff -Tutf8 -man shows it, for what these pages use. Anything
# else is refused, so the page cannot use what this reading would get wrong.
ACENTOS = {"'": "\u0301", "`": "\u0300", "^": "\u0302", "~": "\u0303", ",": "\u0327", ":": "\u0308"}
GLIFOS = {"aq": "'", "dq": '"', "em": "\u2014", "en": "\u2013", "->": "\u2192", "bu": "\u2022", "mu": "\u00d7"}
# Bare characters groff may turn into typographic ones: the page escapes them.
TIPOGRAFICOS = {"-": "\u2010", "'": "\u2019", "`": "\u2018"}
ESCAPE_ROFF = re.compile(r"\\(?:\((..)|\[([^\]]+)\]|f(?:\[[^\]]*\]|\(..|.)|(.))")


def glifo(nome):
    if nome in GLIFOS:
        return GLIFOS[nome]
    if re.fullmatch(r"u[0-9A-F]{4,5}", nome):
        return chr(int(nome[1:], 16))
    if len(nome) == 2 and nome[0] in ACENTOS and nome[1].isalpha():
        return unicodedata.normalize("NFC", nome[1] + ACENTOS[nome[0]])
    raise ValueError(f"glyph \\[{nome}] is not known here")


def desescapar(texto):
    partes, pos = [], 0
    for m in ESCAPE_ROFF.finditer(texto):
        partes.append("".join(TIPOGRAFICOS.get(c, c) for c in texto[pos:m.start()]))
        pos = m.end()
        nome = m.group(1) or m.group(2)
        if nome:
            partes.append(glifo(nome))
        elif m.group(3) is not None:
            simples = {"-": "-", "e": "\\", "\\": "\\", "&": "", " ": " ", "~": " ", "|": "", "^": "", "%": ""}
            if m.group(3) not in simples:
                raise ValueError(f"escape \\{m.group(3)} is not known here")
            partes.append(simples[m.group(3)])
    partes.append("".join(TIPOGRAFICOS.get(c, c) for c in texto[pos:]))
    return "".join(partes)


def argumentos(linha):
    return [a[1:-1].replace('""', '"') if a.startswith('"') else a
            for a in re.findall(r'"(?:[^"]|"")*"|(?:\\.|\S)+', linha)]


QUEBRAM = {"PP", "LP", "P", "RS", "RE", "sp", "br", "in"}
NEUTROS = {"ad", "na", "hy", "nh", "ne"}  # change how lines are set, not what they say


def secoes(roff):
    """Section name -> its lines: filled text one line a paragraph, no-fill lines as they are."""
    secoes, atual, preenchendo, sem_preencher, tag = {}, None, [], False, False

    def quebrar():
        if preenchendo:
            secoes.setdefault(atual, []).append(" ".join(preenchendo))
            preenchendo.clear()

    for linha in roff.splitlines():
        if linha.startswith(('.\\"', "'\\\"")) or linha.strip() == ".":
            continue
        if linha.startswith("."):
            nome, *args = argumentos(linha[1:]) or [""]
            args = [desescapar(a) for a in args]
            if nome in NEUTROS:
                continue
            if nome in ("SH", "SS"):
                quebrar()
                if nome == "SH":
                    atual = " ".join(args)
                else:
                    secoes.setdefault(atual, []).append(" ".join(args))
                continue
            if nome in QUEBRAM or nome in ("TP", "TQ", "IP", "TH", "nf", "fi", "EX", "EE"):
                quebrar()
                sem_preencher = {"nf": True, "EX": True, "fi": False, "EE": False}.get(nome, sem_preencher)
                tag = nome in ("TP", "TQ")
                if nome == "IP" and args:
                    secoes.setdefault(atual, []).append(args[0])
                continue
            if nome in ("B", "I"):
                texto = " ".join(args)
            elif re.fullmatch(r"[BIR]{2}", nome):
                texto = "".join(args)
            else:
                raise ValueError(f"request .{nome} is not known here")
        else:
            texto = desescapar(linha)
        if sem_preencher:
            secoes.setdefault(atual, []).append(texto)
        else:
            preenchendo.append(texto)
            if tag:
                quebrar()
                tag = False
    quebrar()
    return secoes


class Pagina(unittest.TestCase):
    def test_cada_ferramenta(self):
        for ferramenta, pagina in PAGINAS.items():
            with open(os.path.join(RAIZ, pagina), encoding="utf-8") as a:
                partes = secoes(a.read())
            todo = "\n".join("\n".join(linhas) for linhas in partes.values())
            opcoes, ambiente, pecas = do_codigo(ferramenta)
            # The lists cannot come out empty by a broken reading.
            self.assertTrue(opcoes and pecas, ferramenta)
            for opcao in sorted(opcoes):
                with self.subTest(ferramenta=ferramenta, opcao=opcao):
                    self.assertTrue(any(l.startswith(opcao) for l in partes.get("OPTIONS", [])),
                                    f"{opcao} has no entry in {pagina}'s OPTIONS")
            for variavel in sorted(ambiente):
                with self.subTest(ferramenta=ferramenta, variavel=variavel):
                    self.assertTrue(variavel in "\n".join(partes.get("ENVIRONMENT", [])),
                                    f"{variavel} is not in {pagina}'s ENVIRONMENT")
            for peca in sorted(pecas):
                if peca in NUNCA_ESCRITAS:
                    continue
                if peca.startswith("uso: "):  # the usage line is the synopsis too
                    with self.subTest(ferramenta=ferramenta, sinopse=peca):
                        self.assertIn(peca[len("uso: "):], partes.get("SYNOPSIS", []))
                with self.subTest(ferramenta=ferramenta, mensagem=peca):
                    self.assertTrue(peca in todo, f"not in {pagina} as it renders")

    def test_excecoes_ainda_existem(self):
        pecas = set().union(*(do_codigo(f)[2] for f in PAGINAS))
        for texto in NUNCA_ESCRITAS:
            with self.subTest(texto=texto):
                self.assertIn(texto, pecas, "no longer in the sources: drop it from NUNCA_ESCRITAS")


if __name__ == "__main__":
    unittest.main()
