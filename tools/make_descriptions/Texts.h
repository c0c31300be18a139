#pragma once
// The multilingual texts of the shipped descriptions, one row per text, in language-slot order:
// English, Chinese_Simplified, Chinese_Traditional, French, German, Italian, Japanese, Korean,
// Portuguese, Spanish, Russian, Turkish, Arabic.
#include <array>
#include <string_view>

using Texts = std::array<std::string_view, 13>;

// Ink colours, in ink order: C, M, Y, K, White, Gloss, Primer.
inline constexpr Texts kInkColours[] = {
    {"Cyan", "青色", "青色", "Cyan", "Cyan", "Ciano", "シアン", "시안", "Ciano", "Cian", "Голубой", "Camgöbeği", "سماوي"},
    {"Magenta", "品红", "洋紅", "Magenta", "Magenta", "Magenta", "マゼンタ", "마젠타", "Magenta", "Magenta", "Пурпурный",
     "Macenta", "أرجواني"},
    {"Yellow", "黄色", "黃色", "Jaune", "Gelb", "Giallo", "イエロー", "옐로", "Amarelo", "Amarillo", "Жёлтый", "Sarı", "أصفر"},
    {"Black", "黑色", "黑色", "Noir", "Schwarz", "Nero", "ブラック", "블랙", "Preto", "Negro", "Чёрный", "Siyah", "أسود"},
    {"White", "白色", "白色", "Blanc", "Weiß", "Bianco", "ホワイト", "화이트", "Branco", "Blanco", "Белый", "Beyaz", "أبيض"},
    {"Gloss", "光油", "光油", "Vernis brillant", "Glanzlack", "Vernice lucida", "グロス", "글로스", "Verniz brilhante",
     "Barniz brillante", "Глянцевый лак", "Parlak Vernik", "ورنيش لامع"},
    {"Primer", "底涂剂", "底塗劑", "Primaire", "Primer", "Primer", "プライマー", "프라이머", "Primer", "Imprimación",
     "Праймер", "Astar", "مادة أولية"},
};

// Media names, and the index of each one's base media in kBaseMedia.
struct MediaText {
  Texts name;
  int base;
};

inline constexpr Texts kBaseMedia[] = {
    {"Film", "薄膜", "薄膜", "Film", "Folie", "Pellicola", "フィルム", "필름", "Filme", "Película", "Плёнка", "Film", "فيلم"},
    {"Rigid plastic", "硬质塑料", "硬質塑膠", "Plastique rigide", "Hartkunststoff", "Plastica rigida", "硬質プラスチック",
     "경질 플라스틱", "Plástico rígido", "Plástico rígido", "Жёсткий пластик", "Sert Plastik", "بلاستيك صلب"},
    {"Glass and ceramics", "玻璃与陶瓷", "玻璃與陶瓷", "Verre et céramique", "Glas und Keramik", "Vetro e ceramica",
     "ガラス・セラミック", "유리 및 세라믹", "Vidro e cerâmica", "Vidrio y cerámica", "Стекло и керамика", "Cam ve Seramik",
     "زجاج وسيراميك"},
    {"Metal", "金属", "金屬", "Métal", "Metall", "Metallo", "金属", "금속", "Metal", "Metal", "Металл", "Metal", "معدن"},
    {"Wood", "木材", "木材", "Bois", "Holz", "Legno", "木材", "목재", "Madeira", "Madera", "Дерево", "Ahşap", "خشب"},
    {"Flexible material", "柔性材料", "柔性材料", "Matériau souple", "Flexibles Material", "Materiale flessibile",
     "フレキシブル素材", "연질 소재", "Material flexível", "Material flexible", "Гибкий материал", "Esnek Malzeme", "مادة مرنة"},
    {"Paper and board", "纸张与纸板", "紙張與紙板", "Papier et carton", "Papier und Karton", "Carta e cartone", "紙・ボード",
     "종이 및 보드", "Papel e cartão", "Papel y cartón", "Бумага и картон", "Kağıt ve Karton", "ورق وكرتون"},
};

inline constexpr MediaText kMedia[] = {
    {{"PET Film", "PET薄膜", "PET薄膜", "Film PET", "PET-Folie", "Pellicola PET", "PETフィルム", "PET 필름", "Filme PET",
      "Película PET", "ПЭТ-плёнка", "PET Film", "فيلم PET"}, 0},
    {{"Acrylic Sheet", "亚克力板", "壓克力板", "Plaque acrylique", "Acrylglasplatte", "Lastra acrilica", "アクリル板",
      "아크릴 판", "Chapa acrílica", "Lámina acrílica", "Акриловый лист", "Akrilik Levha", "لوح أكريليك"}, 1},
    {{"Glass", "玻璃", "玻璃", "Verre", "Glas", "Vetro", "ガラス", "유리", "Vidro", "Vidrio", "Стекло", "Cam", "زجاج"}, 2},
    {{"Aluminium Composite Panel", "铝塑板", "鋁塑板", "Panneau composite aluminium", "Aluminium-Verbundplatte",
      "Pannello composito in alluminio", "アルミ複合板", "알루미늄 복합 패널", "Painel composto de alumínio",
      "Panel compuesto de aluminio", "Алюминиевая композитная панель", "Alüminyum Kompozit Panel", "لوح ألومنيوم مركب"}, 3},
    {{"PVC Foam Board", "PVC发泡板", "PVC發泡板", "Plaque PVC expansé", "PVC-Hartschaumplatte", "Pannello in PVC espanso",
      "発泡塩ビ板", "PVC 폼보드", "Placa de PVC expandido", "Placa de PVC espumado", "Вспененный ПВХ", "PVC Köpük Levha",
      "لوح PVC رغوي"}, 1},
    {{"Polycarbonate", "聚碳酸酯板", "聚碳酸酯板", "Polycarbonate", "Polycarbonat", "Policarbonato", "ポリカーボネート",
      "폴리카보네이트", "Policarbonato", "Policarbonato", "Поликарбонат", "Polikarbonat", "بولي كربونات"}, 1},
    {{"MDF Wood", "中密度纤维板", "中密度纖維板", "Bois MDF", "MDF-Holz", "Legno MDF", "MDF木材", "MDF 목재", "Madeira MDF",
      "Madera MDF", "Древесина МДФ", "MDF Ahşap", "خشب MDF"}, 4},
    {{"Synthetic Leather", "人造革", "人造皮革", "Cuir synthétique", "Kunstleder", "Pelle sintetica", "合成皮革", "합성 가죽",
      "Couro sintético", "Cuero sintético", "Искусственная кожа", "Suni Deri", "جلد صناعي"}, 5},
    {{"Canvas", "油画布", "油畫布", "Toile", "Leinwand", "Tela", "キャンバス", "캔버스", "Tela", "Lienzo", "Холст", "Kanvas",
      "قماش كانفاس"}, 5},
    {{"Ceramic Tile", "瓷砖", "瓷磚", "Carreau céramique", "Keramikfliese", "Piastrella in ceramica", "セラミックタイル",
      "세라믹 타일", "Azulejo cerâmico", "Azulejo cerámico", "Керамическая плитка", "Seramik Karo", "بلاط سيراميك"}, 2},
    {{"Brushed Stainless Steel", "拉丝不锈钢", "拉絲不鏽鋼", "Acier inoxydable brossé", "Gebürsteter Edelstahl",
      "Acciaio inox spazzolato", "ヘアラインステンレス", "헤어라인 스테인리스", "Aço inoxidável escovado",
      "Acero inoxidable cepillado", "Шлифованная нержавеющая сталь", "Fırçalanmış Paslanmaz Çelik",
      "فولاذ مقاوم للصدأ مصقول"}, 3},
    {{"Polypropylene Sheet", "聚丙烯板", "聚丙烯板", "Feuille de polypropylène", "Polypropylenplatte",
      "Foglio in polipropilene", "ポリプロピレンシート", "폴리프로필렌 시트", "Folha de polipropileno",
      "Lámina de polipropileno", "Полипропиленовый лист", "Polipropilen Levha", "لوح بولي بروبيلين"}, 1},
    {{"ABS Plastic", "ABS塑料", "ABS塑膠", "Plastique ABS", "ABS-Kunststoff", "Plastica ABS", "ABS樹脂", "ABS 플라스틱",
      "Plástico ABS", "Plástico ABS", "АБС-пластик", "ABS Plastik", "بلاستيك ABS"}, 1},
    {{"Coated Paper", "铜版纸", "銅版紙", "Papier couché", "Gestrichenes Papier", "Carta patinata", "コート紙", "코팅지",
      "Papel couché", "Papel estucado", "Мелованная бумага", "Kuşe Kağıt", "ورق مطلي"}, 6},
    {{"Self-adhesive Vinyl", "不干胶乙烯基", "自黏乙烯基", "Vinyle adhésif", "Selbstklebende Vinylfolie", "Vinile adesivo",
      "粘着塩ビシート", "접착 비닐", "Vinil autoadesivo", "Vinilo autoadhesivo", "Самоклеящийся винил", "Yapışkanlı Vinil",
      "فينيل لاصق"}, 0},
    {{"Backlit Film", "灯箱片", "燈箱片", "Film rétroéclairé", "Backlit-Folie", "Pellicola retroilluminata",
      "バックライトフィルム", "백라이트 필름", "Filme backlight", "Película retroiluminada", "Плёнка для подсветки",
      "Işıklı Film", "فيلم إضاءة خلفية"}, 0},
    {{"Magnetic Sheet", "磁性片", "磁性片", "Feuille magnétique", "Magnetfolie", "Foglio magnetico", "マグネットシート",
      "자석 시트", "Folha magnética", "Lámina magnética", "Магнитный лист", "Mıknatıslı Levha", "لوح مغناطيسي"}, 5},
    {{"Cork Board", "软木板", "軟木板", "Panneau de liège", "Korkplatte", "Pannello di sughero", "コルクボード", "코르크 보드",
      "Placa de cortiça", "Tablero de corcho", "Пробковая доска", "Mantar Pano", "لوح فلين"}, 4},
    {{"Corrugated Board", "瓦楞纸板", "瓦楞紙板", "Carton ondulé", "Wellpappe", "Cartone ondulato", "段ボール", "골판지",
      "Papelão ondulado", "Cartón corrugado", "Гофрокартон", "Oluklu Mukavva", "كرتون مموج"}, 6},
    {{"Polyester Textile", "涤纶织物", "滌綸織物", "Textile polyester", "Polyestergewebe", "Tessuto in poliestere",
      "ポリエステル生地", "폴리에스터 원단", "Tecido de poliéster", "Tejido de poliéster", "Полиэфирная ткань",
      "Polyester Kumaş", "نسيج بوليستر"}, 5},
    {{"Silicone Rubber", "硅橡胶", "矽膠", "Caoutchouc silicone", "Silikonkautschuk", "Gomma siliconica", "シリコーンゴム",
      "실리콘 고무", "Borracha de silicone", "Caucho de silicona", "Силиконовая резина", "Silikon Kauçuk", "مطاط سيليكون"}, 5},
    {{"TPU Phone Case", "TPU手机壳", "TPU手機殼", "Coque de téléphone TPU", "TPU-Handyhülle", "Cover per telefono in TPU",
      "TPUスマホケース", "TPU 휴대폰 케이스", "Capa de celular TPU", "Funda de teléfono TPU", "Чехол для телефона из ТПУ",
      "TPU Telefon Kılıfı", "غطاء هاتف TPU"}, 1},
    {{"Frosted Acrylic", "磨砂亚克力", "霧面壓克力", "Acrylique dépoli", "Satiniertes Acrylglas", "Acrilico satinato",
      "すりガラス調アクリル", "반투명 아크릴", "Acrílico jateado", "Acrílico esmerilado", "Матовый акрил", "Buzlu Akrilik",
      "أكريليك مصنفر"}, 1},
    {{"Slate", "石板", "石板", "Ardoise", "Schiefer", "Ardesia", "スレート", "슬레이트", "Ardósia", "Pizarra", "Сланец",
      "Arduvaz", "حجر الأردواز"}, 2},
};

inline constexpr Texts kQualityNames[] = {
    {"Draft", "草稿", "草稿", "Brouillon", "Entwurf", "Bozza", "ドラフト", "초안", "Rascunho", "Borrador", "Черновик", "Taslak",
     "مسودة"},
    {"Standard", "标准", "標準", "Standard", "Standard", "Standard", "標準", "표준", "Padrão", "Estándar", "Стандарт",
     "Standart", "قياسي"},
    {"Fine", "精细", "精細", "Fin", "Fein", "Fine", "高画質", "고품질", "Fino", "Fino", "Высокое качество", "İnce", "دقيق"},
    {"Super Fine", "超精细", "超精細", "Très fin", "Sehr fein", "Finissimo", "超高画質", "초고품질", "Extra fino", "Extra fino",
     "Наивысшее качество", "Çok İnce", "فائق الدقة"},
};

// The two-letter codes of the language slots, for the firmware addresses.
inline constexpr std::array<std::string_view, 13> kLanguageCodes = {
    "en", "zh-cn", "zh-tw", "fr", "de", "it", "ja", "ko", "pt", "es", "ru", "tr", "ar"};
