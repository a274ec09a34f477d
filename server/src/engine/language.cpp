#include "engine/language.h"

#include "core/textutil.h"

#include <array>
#include <cctype>
#include <sstream>

namespace wordloom {

namespace {

Phrasebook english()
{
    Phrasebook p;
    p.languageCode = "en";
    p.task = "Task";
    p.context = "Context";
    p.requirements = "Requirements";
    p.outputFormat = "Output format";
    p.preferences = "Personal preferences";
    p.guidance = "Skill guidance";
    p.material = "Text to work on";
    p.improveMaterial = "Improve the text below: make it clear, well structured and correct while keeping its meaning.";
    p.reviewCode = "Review the code below, explain what it does and improve it.";
    p.questionHint = "Answer the question directly first, then explain the reasoning step by step.";
    p.imageStyle = "highly detailed, coherent composition, soft natural lighting, sharp focus";
    p.videoCamera = "Camera";
    p.videoLighting = "Lighting";
    p.videoStyle = "Style";
    p.videoDuration = "Duration";
    p.videoCameraValue = "smooth, steady movement with a slow push-in";
    p.videoLightingValue = "natural, cinematic";
    p.videoStyleValue = "realistic, consistent subjects across frames";
    p.videoDurationValue = "about 8 seconds";
    p.text = {"You are an experienced writer and subject-matter expert.",
              {"Be accurate and specific; avoid filler.", "Use a clear structure with short paragraphs or lists.",
               "State any assumptions you make."},
              "Well-structured text with headings where they help."};
    p.code = {"You are a senior software engineer.",
              {"State the language, versions and assumptions.", "Handle edge cases and errors explicitly.",
               "Keep the code idiomatic, readable and commented where it matters."},
              "A short explanation followed by complete code in fenced blocks, then a usage example."};
    p.communication = {"You are a skilled professional communicator.",
                       {"Keep the tone polite, clear and appropriate for the recipient.",
                        "Keep every fact, name and date of the original.", "Make the request or next step explicit."},
                       "The finished message, ready to send, with a subject line if it is an e-mail."};
    p.social = {"You are an experienced social media copywriter.",
                {"Open with a strong hook.", "Keep it concise and easy to skim.", "End with a call to action."},
                "The post text followed by a few relevant hashtags."};
    p.image = {"", {}, ""};
    p.video = {"", {}, ""};
    return p;
}

Phrasebook russian()
{
    Phrasebook p = english();
    p.languageCode = "ru";
    p.task = "Задача";
    p.context = "Контекст";
    p.requirements = "Требования";
    p.outputFormat = "Формат ответа";
    p.preferences = "Личные предпочтения";
    p.guidance = "Указания навыка";
    p.material = "Текст для работы";
    p.improveMaterial = "Улучши текст ниже: сделай его ясным, структурированным и грамотным, сохранив смысл.";
    p.reviewCode = "Проанализируй код ниже, объясни, что он делает, и улучши его.";
    p.questionHint = "Сначала дай прямой ответ на вопрос, затем поясни рассуждение по шагам.";
    p.imageStyle = "высокая детализация, гармоничная композиция, мягкий естественный свет, резкий фокус";
    p.videoCamera = "Камера";
    p.videoLighting = "Освещение";
    p.videoStyle = "Стиль";
    p.videoDuration = "Длительность";
    p.videoCameraValue = "плавное, устойчивое движение с медленным наездом";
    p.videoLightingValue = "естественное, кинематографичное";
    p.videoStyleValue = "реалистичный, объекты согласованы между кадрами";
    p.videoDurationValue = "около 8 секунд";
    p.text = {"Ты опытный автор и эксперт в теме.",
              {"Будь точным и конкретным, без воды.", "Используй ясную структуру: короткие абзацы или списки.",
               "Назови допущения, которые делаешь."},
              "Структурированный текст с заголовками, где они уместны."};
    p.code = {"Ты опытный инженер-программист.",
              {"Укажи язык, версии и допущения.", "Явно обработай граничные случаи и ошибки.",
               "Пиши идиоматичный, читаемый код с комментариями там, где нужно."},
              "Краткое объяснение, затем полный код в блоках, затем пример использования."};
    p.communication = {"Ты умелый деловой коммуникатор.",
                       {"Тон вежливый, ясный и подходящий получателю.", "Сохрани все факты, имена и даты оригинала.",
                        "Чётко обозначь просьбу или следующий шаг."},
                       "Готовое к отправке сообщение, с темой, если это письмо."};
    p.social = {"Ты опытный копирайтер для соцсетей.",
                {"Начни с цепляющей фразы.", "Пиши кратко и легко для чтения.", "Заверши призывом к действию."},
                "Текст поста и несколько подходящих хештегов."};
    return p;
}

Phrasebook german()
{
    Phrasebook p = english();
    p.languageCode = "de";
    p.task = "Aufgabe";
    p.context = "Kontext";
    p.requirements = "Anforderungen";
    p.outputFormat = "Ausgabeformat";
    p.preferences = "Persönliche Vorgaben";
    p.guidance = "Hinweise der Vorlage";
    p.material = "Zu bearbeitender Text";
    p.improveMaterial = "Verbessere den folgenden Text: klar, gut gegliedert und korrekt, bei gleicher Bedeutung.";
    p.reviewCode = "Prüfe den folgenden Code, erkläre, was er tut, und verbessere ihn.";
    p.questionHint = "Beantworte die Frage zuerst direkt und erkläre dann die Begründung Schritt für Schritt.";
    p.imageStyle = "sehr detailliert, stimmige Komposition, weiches natürliches Licht, scharfer Fokus";
    p.videoCamera = "Kamera";
    p.videoLighting = "Licht";
    p.videoStyle = "Stil";
    p.videoDuration = "Dauer";
    p.videoCameraValue = "ruhige, gleichmäßige Bewegung mit langsamer Heranfahrt";
    p.videoLightingValue = "natürlich, filmisch";
    p.videoStyleValue = "realistisch, einheitliche Motive über alle Bilder";
    p.videoDurationValue = "etwa 8 Sekunden";
    p.text = {"Du bist ein erfahrener Autor und Fachexperte.",
              {"Sei genau und konkret, ohne Füllwörter.", "Gliedere klar mit kurzen Absätzen oder Listen.",
               "Nenne die Annahmen, die du triffst."},
              "Gut gegliederter Text mit Überschriften, wo sie helfen."};
    p.code = {"Du bist ein erfahrener Softwareentwickler.",
              {"Nenne Sprache, Versionen und Annahmen.", "Behandle Randfälle und Fehler ausdrücklich.",
               "Schreibe idiomatischen, lesbaren Code mit Kommentaren, wo es wichtig ist."},
              "Eine kurze Erklärung, dann vollständiger Code in Blöcken, dann ein Anwendungsbeispiel."};
    p.communication = {"Du bist ein geschickter, professioneller Kommunikator.",
                       {"Halte den Ton höflich, klar und passend zum Empfänger.",
                        "Behalte alle Fakten, Namen und Daten des Originals.",
                        "Mache die Bitte oder den nächsten Schritt deutlich."},
                       "Die fertige Nachricht, versandbereit, mit Betreffzeile bei einer E-Mail."};
    p.social = {"Du bist ein erfahrener Social-Media-Texter.",
                {"Beginne mit einem starken Aufhänger.", "Halte es kurz und leicht lesbar.",
                 "Schließe mit einer Handlungsaufforderung."},
                "Der Beitragstext und einige passende Hashtags."};
    return p;
}

Phrasebook french()
{
    Phrasebook p = english();
    p.languageCode = "fr";
    p.task = "Tâche";
    p.context = "Contexte";
    p.requirements = "Exigences";
    p.outputFormat = "Format de sortie";
    p.preferences = "Préférences personnelles";
    p.guidance = "Consignes du modèle";
    p.material = "Texte à traiter";
    p.improveMaterial = "Améliore le texte ci-dessous : clair, bien structuré et correct, sans en changer le sens.";
    p.reviewCode = "Analyse le code ci-dessous, explique ce qu'il fait et améliore-le.";
    p.questionHint = "Réponds d'abord directement à la question, puis explique le raisonnement étape par étape.";
    p.imageStyle = "très détaillé, composition harmonieuse, lumière naturelle douce, mise au point nette";
    p.videoCamera = "Caméra";
    p.videoLighting = "Lumière";
    p.videoStyle = "Style";
    p.videoDuration = "Durée";
    p.videoCameraValue = "mouvement fluide et stable avec un lent travelling avant";
    p.videoLightingValue = "naturelle, cinématographique";
    p.videoStyleValue = "réaliste, sujets cohérents d'une image à l'autre";
    p.videoDurationValue = "environ 8 secondes";
    p.text = {"Tu es un rédacteur expérimenté et un expert du sujet.",
              {"Sois précis et concret, sans remplissage.",
               "Structure clairement avec des paragraphes courts ou des listes.",
               "Indique les hypothèses que tu fais."},
              "Un texte bien structuré, avec des titres lorsque c'est utile."};
    p.code = {"Tu es un ingénieur logiciel confirmé.",
              {"Précise le langage, les versions et les hypothèses.",
               "Traite explicitement les cas limites et les erreurs.",
               "Écris un code idiomatique et lisible, commenté là où c'est utile."},
              "Une brève explication, puis le code complet en blocs, puis un exemple d'utilisation."};
    p.communication = {"Tu es un communicant professionnel habile.",
                       {"Garde un ton poli, clair et adapté au destinataire.",
                        "Conserve tous les faits, noms et dates de l'original.",
                        "Rends la demande ou la prochaine étape explicite."},
                       "Le message final, prêt à envoyer, avec un objet s'il s'agit d'un e-mail."};
    p.social = {
        "Tu es un rédacteur expérimenté pour les réseaux sociaux.",
        {"Commence par une accroche forte.", "Reste concis et facile à parcourir.", "Termine par un appel à l'action."},
        "Le texte de la publication suivi de quelques hashtags pertinents."};
    return p;
}

Phrasebook spanish()
{
    Phrasebook p = english();
    p.languageCode = "es";
    p.task = "Tarea";
    p.context = "Contexto";
    p.requirements = "Requisitos";
    p.outputFormat = "Formato de salida";
    p.preferences = "Preferencias personales";
    p.guidance = "Indicaciones de la plantilla";
    p.material = "Texto a trabajar";
    p.improveMaterial =
        "Mejora el texto siguiente: que sea claro, bien estructurado y correcto, sin cambiar su sentido.";
    p.reviewCode = "Revisa el código siguiente, explica qué hace y mejóralo.";
    p.questionHint = "Responde primero directamente a la pregunta y luego explica el razonamiento paso a paso.";
    p.imageStyle = "muy detallado, composición armoniosa, luz natural suave, enfoque nítido";
    p.videoCamera = "Cámara";
    p.videoLighting = "Iluminación";
    p.videoStyle = "Estilo";
    p.videoDuration = "Duración";
    p.videoCameraValue = "movimiento suave y estable con un lento acercamiento";
    p.videoLightingValue = "natural, cinematográfica";
    p.videoStyleValue = "realista, sujetos coherentes entre fotogramas";
    p.videoDurationValue = "unos 8 segundos";
    p.text = {"Eres un redactor experimentado y experto en el tema.",
              {"Sé preciso y concreto, sin relleno.", "Usa una estructura clara con párrafos cortos o listas.",
               "Indica las suposiciones que hagas."},
              "Un texto bien estructurado, con títulos donde ayuden."};
    p.code = {"Eres un ingeniero de software sénior.",
              {"Indica el lenguaje, las versiones y las suposiciones.",
               "Trata explícitamente los casos límite y los errores.",
               "Escribe código idiomático y legible, con comentarios donde importe."},
              "Una breve explicación, luego el código completo en bloques y un ejemplo de uso."};
    p.communication = {"Eres un comunicador profesional hábil.",
                       {"Mantén un tono cortés, claro y adecuado al destinatario.",
                        "Conserva todos los hechos, nombres y fechas del original.",
                        "Deja explícita la petición o el siguiente paso."},
                       "El mensaje final, listo para enviar, con asunto si es un correo."};
    p.social = {
        "Eres un redactor experimentado de redes sociales.",
        {"Empieza con un gancho potente.", "Sé conciso y fácil de leer.", "Termina con una llamada a la acción."},
        "El texto de la publicación seguido de algunos hashtags relevantes."};
    return p;
}

int countWords(const std::string &lower, std::initializer_list<const char *> words)
{
    std::istringstream stream(lower);
    std::string word;
    int count = 0;
    while (stream >> word) {
        while (!word.empty() && std::string(",.;:!?()\"'").find(word.back()) != std::string::npos) {
            word.pop_back();
        }
        for (const char *candidate : words) {
            count += word == candidate ? 1 : 0;
        }
    }
    return count;
}

} // namespace

const Phrasebook::Category &Phrasebook::forCategory(const std::string &category) const
{
    if (category == "code") {
        return code;
    }
    if (category == "communication") {
        return communication;
    }
    if (category == "social") {
        return social;
    }
    return text;
}

const Phrasebook &phrasebookFor(const std::string &draft)
{
    static const std::array<Phrasebook, 5> books = {english(), russian(), german(), french(), spanish()};
    std::size_t cyrillic = 0;
    std::size_t latin = 0;
    for (std::size_t i = 0; i < draft.size(); ++i) {
        const auto c = static_cast<unsigned char>(draft[i]);
        if (c == 0xD0 || c == 0xD1) {
            ++cyrillic;
        } else if (std::isalpha(c)) {
            ++latin;
        }
    }
    if (cyrillic > latin) {
        return books[1];
    }
    const std::string lower = text::toLower(draft);
    const int scores[] = {
        countWords(lower, {"the", "and", "is", "to", "of", "you", "for", "with", "please", "what", "how", "my"}),
        0,
        countWords(lower, {"der", "die", "das", "und", "ist", "nicht", "ich", "bitte", "mit", "ein", "eine", "wie",
                           "für", "schreibe", "mir"}),
        countWords(lower, {"le", "la", "les", "et", "est", "pour", "une", "des", "vous", "avec", "je", "comment",
                           "écris", "moi", "du"}),
        countWords(lower,
                   {"el", "los", "las", "y", "es", "para", "una", "por", "con", "que", "cómo", "escribe", "mi", "del"}),
    };
    std::size_t best = 0;
    for (std::size_t i = 2; i < 5; ++i) {
        if (scores[i] > scores[best]) {
            best = i;
        }
    }
    return books[best];
}

bool startsWithInstruction(const std::string &lowerDraft)
{
    static const char *verbs[] = {
        "write",  "create",    "make",      "generate",  "explain",   "draft",   "compose",  "help",     "give",
        "list",   "summarize", "summarise", "translate", "fix",       "build",   "design",   "describe", "tell",
        "show",   "find",      "draw",      "plan",      "suggest",   "rewrite", "improve",  "refactor", "implement",
        "please", "i need",    "i want",    "can you",   "could you", "напиши",  "создай",   "сделай",   "объясни",
        "помоги", "расскажи",  "нарисуй",   "составь",   "schreibe",  "schreib", "erstelle", "erkläre",  "hilf",
        "écris",  "crée",      "explique",  "aide",      "rédige",    "escribe", "crea",     "explica",  "ayuda"};
    for (const char *verb : verbs) {
        const std::string_view v(verb);
        if (lowerDraft.starts_with(v) &&
            (lowerDraft.size() == v.size() || !std::isalpha(static_cast<unsigned char>(lowerDraft[v.size()])))) {
            return true;
        }
    }
    return false;
}

bool looksLikeQuestion(const std::string &draft)
{
    const std::string trimmed = text::trim(draft);
    if (trimmed.ends_with("?")) {
        return true;
    }
    const std::string lower = text::toLower(trimmed);
    for (const char *word : {"what ", "how ", "why ", "when ", "where ", "who ", "which ", "is ", "are ", "can ",
                             "does ", "do ", "should "}) {
        if (lower.starts_with(word)) {
            return true;
        }
    }
    return false;
}

} // namespace wordloom
